#include "app/ui/childwindows.h"

#include "app/config/texts.h"
#include "app/gateway/gatewaywindow.h"
#include "app/gateway/remoteregisterwindow.h"
#include "app/ui/mainwindow.h"
#include "app/ui/startwindow.h"

void RegisterChildWindows(MainWindow& main)
{
    // Start window, gateway list, COM port editor and COM status windows.
    RegisterStartAndListWindows(main);
    // The link monitor is registered by the main window itself; kinds without a factory
    // open nothing.
    main.setChildFactory(ChildKind::Gateway, [](MainWindow& m, const QString&, const SettingsList& params) -> QWidget* {
        GatewayWindow* window = CreateGatewayWindow(m.session(), m, params);
        if (!window)
            return nullptr;
        QObject::connect(window, &GatewayWindow::remotePermissionsRequested, &m,
                         [&m, window](const QString& gateUID, const QString& cfgFile) {
                             SettingsList p;
                             p.setValue(QStringLiteral("gateUID"), gateUID);
                             p.setValue(QStringLiteral("CFG_FILE"), cfgFile);
                             p.setValue(QStringLiteral("gateName"), window->windowTitle());
                             m.OpenNewChildWindow(ChildKind::RemoteUsers, QString(), p, false);
                         });
        return window;
    });
    main.setChildFactory(ChildKind::RemoteUsers, [](MainWindow& m, const QString&, const SettingsList& params) -> QWidget* {
        bool created = false;
        RemoteRegisterWindow* window = RemoteRegisterWindow::open(params, m.configFolder(),
                                                                  params.value(QStringLiteral("gateName")), nullptr, &created);
        return created ? window : nullptr;   // an open one was brought to the front
    });
}
