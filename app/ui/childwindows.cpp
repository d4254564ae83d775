#include "app/ui/childwindows.h"

#include "app/config/texts.h"
#include "app/ui/gatewaywindow.h"
#include "app/ui/remoteregisterwindow.h"
#include "app/ui/appsetupwindow.h"
#include "app/ui/beepeditorwindow.h"
#include "app/ui/gatewaylistwindow.h"
#include "app/ui/gatewaysetupwindow.h"
#include "app/ui/mainwindow.h"
#include "app/ui/startwindow.h"

#include <QPointer>

void RegisterChildWindows(MainWindow& main)
{
    // Start window, gateway list, COM port editor and COM status windows.
    RegisterStartAndListWindows(main);
    // The link monitor is registered by the main window itself; kinds without a factory
    // open nothing.
    main.setChildFactory(ChildKind::Gateway, [](MainWindow& m, const QString&, const SettingsList& params) -> QWidget* {
        // The core runs the gateway; the window is its view.
        GatewayWindow* window = CreateGatewayWindow(m.core(), params);
        if (!window)
            return nullptr;
        // The window's settings and remote buttons go through the same actions as the
        // Gateway menu and the gateway list, so an open setup or register window of this
        // gateway is brought to the front instead of opening a second one.
        QPointer<GatewayWindow> guard(window);
        QObject::connect(window, &GatewayWindow::settingsRequested, &m,
                         [&m](const QString& gateUID, const QString& cfgFile) {
                             m.guarded([&] { GatewayActions(m).edit(gateUID, cfgFile); });
                         });
        QObject::connect(window, &GatewayWindow::remotePermissionsRequested, &m,
                         [&m, guard](const QString& gateUID, const QString& cfgFile) {
                             const QString name = guard ? guard->windowTitle() : QString();
                             m.guarded([&] { GatewayActions(m).registrations(gateUID, cfgFile, name); });
                         });
        return window;
    });
    main.setChildFactory(ChildKind::RemoteUsers,
                         [](MainWindow& m, const QString&, const SettingsList& params) -> QWidget* {
                             bool created = false;
                             RemoteRegisterWindow* window = RemoteRegisterWindow::open(
                                 params, m.configFolder(), params.value(QStringLiteral("gateName")), nullptr, &created);
                             return created ? window : nullptr; // an open one was brought to the front
                         });
    // Gateway setup (params loadConfig/CFG_FILE/setGateName/newGateName), application
    // setup and the roger beep editor.
    RegisterGatewaySetupWindow(main);
    RegisterAppSetupWindow(main);
    RegisterBeepEditorWindow(main);
}
