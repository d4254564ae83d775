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

WebInterface::WebInterface(ScreenFactory screens) : m_screens(std::move(screens)) {}

WebInterface::~WebInterface()
{
    stop();
}

bool WebInterface::startFromSettings(const SettingsList& settings, QString* error)
{
    if (!enabledIn(settings))
        return true;
    stop();
    ScreenshotServer::Capture capture;
    if (m_screens) {
        m_screen = m_screens();
        ScreenSource* screen = m_screen.get();
        capture = [screen] { return screen->capture(); };
    }
    m_server = std::make_unique<ScreenshotServer>(std::move(capture), serverName());
    m_server->setAllowedHosts(allowedHostsIn(settings));
    m_server->setStatusProvider(m_status);
    if (!m_server->start(portIn(settings), error)) {
        m_server.reset();
        m_screen.reset();
        return false;
    }
    return true;
}

void WebInterface::stop()
{
    if (m_screen)
        m_screen->cancel();
    if (m_server)
        m_server->stop();
    m_server.reset();
    m_screen.reset();
}
