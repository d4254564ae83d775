#include "app/web/webwindow.h"

#include "app/web/guicapture.h"

#include <QPointer>

WebInterface::ScreenFactory WindowScreen(QWidget* window, int captureTimeoutMs)
{
    QPointer<QWidget> target = window;
    return [target, captureTimeoutMs]() -> std::unique_ptr<ScreenSource> {
        return std::make_unique<GuiThreadCapture>(target.data(), captureTimeoutMs);
    };
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
    auto web = std::make_unique<WebInterface>(WindowScreen(window));
    web->setStatusProvider(std::move(status));
    if (!web->startFromSettings(settings, error))
        return nullptr;
    return new WebInterfaceHolder(window, std::move(web));
}
