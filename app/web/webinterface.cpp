#include "app/web/webinterface.h"

#include "app/config/texts.h"

bool WebInterface::enabledIn(const SettingsList& settings)
{
    return settings.boolValue(QStringLiteral("HTTP_ACTIVE")) && settings.intValue(QStringLiteral("HTTP_PORT"), 0) > 0;
}

int WebInterface::portIn(const SettingsList& settings)
{
    return settings.intValue(QStringLiteral("HTTP_PORT"), ScreenshotServer::kDefaultPort);
}

QStringList WebInterface::allowedHostsIn(const SettingsList& settings)
{
    return HostCheck::parseList(settings.value(QStringLiteral("HTTP_HOSTS")));
}

QString WebInterface::serverName()
{
    return GetGeneralText(QStringLiteral("NAME")) + QLatin1Char(' ') + GetGeneralText(QStringLiteral("VERS"));
}

WebInterface::WebInterface(QWidget* window, int captureTimeoutMs) : m_window(window), m_timeoutMs(captureTimeoutMs) {}

WebInterface::~WebInterface()
{
    stop();
}

bool WebInterface::startFromSettings(const SettingsList& settings, QString* error)
{
    if (!enabledIn(settings))
        return true;
    stop();
    m_capture = std::make_unique<GuiThreadCapture>(m_window, m_timeoutMs);
    GuiThreadCapture* capture = m_capture.get();
    m_server = std::make_unique<ScreenshotServer>([capture] { return capture->capture(); }, serverName());
    m_server->setAllowedHosts(allowedHostsIn(settings));
    m_server->setStatusProvider(m_status);
    if (!m_server->start(portIn(settings), error)) {
        m_server.reset();
        m_capture.reset();
        return false;
    }
    return true;
}

void WebInterface::stop()
{
    if (m_capture)
        m_capture->cancel();
    if (m_server)
        m_server->stop();
    m_server.reset();
    m_capture.reset();
}

namespace {
class WebInterfaceHolder : public QObject {
public:
    WebInterfaceHolder(QWidget* window, std::unique_ptr<WebInterface> web) : QObject(window), m_web(std::move(web))
    {
        setObjectName(QStringLiteral("WebInterface"));
    }
    ~WebInterfaceHolder() override { m_web->stop(); }

private:
    std::unique_ptr<WebInterface> m_web;
};
} // namespace

QObject* StartWebInterface(QWidget* window, const SettingsList& settings, QString* error,
                           std::shared_ptr<const StatusProvider> status)
{
    if (!WebInterface::enabledIn(settings))
        return nullptr;
    auto web = std::make_unique<WebInterface>(window);
    web->setStatusProvider(std::move(status));
    if (!web->startFromSettings(settings, error))
        return nullptr;
    return new WebInterfaceHolder(window, std::move(web));
}
