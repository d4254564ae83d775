// The link monitor ("DEBUG"): the session's received and sent lines, switches to pause
// and filter them, the sound profiles the plugin reported and buttons that send test
// commands to the selected gateway's server connection.
#pragma once
#include "app/session/childwindow.h"
#include "app/session/sessionview.h"

#include <QWidget>

class MainWindow;
class QCheckBox;
class QComboBox;
class QPlainTextEdit;
class QPushButton;

class LinkMonitorWindow : public QWidget, public ChildWindow, public LinkMonitorSink {
    Q_OBJECT
public:
    explicit LinkMonitorWindow(MainWindow& main, QWidget* parent = nullptr);
    ~LinkMonitorWindow() override;

    ChildKind childKind() const override { return ChildKind::LinkMonitor; }
    void clearTraffic() override;
    void appendTraffic(const QString& line) override;

    QStringList trafficLines() const;
    QStringList profileLines() const;
    // Sends a test command to the selected gateway (when it has a server connection).
    void sendTest(const QString& command, const QString& items);
    void refreshGateways();
    // The EXIT-Client button: the directory request for the plugin list, one at a time.
    void sendPluginListRequest();
    QPushButton* exitClientButton() const { return m_exitClient; }

private:
    MainWindow& m_main;
    QPlainTextEdit* m_traffic = nullptr;
    QPlainTextEdit* m_profiles = nullptr;
    QComboBox* m_gateways = nullptr;
    QCheckBox* m_pause = nullptr;
    QCheckBox* m_send = nullptr;
    QCheckBox* m_receive = nullptr;
    QPushButton* m_exitClient = nullptr;
};
