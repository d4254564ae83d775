// The window list ("available Window"): every open child window of the main window, in
// four groups (gateways, COM port windows, setup windows, others), with a refresh button
// and an automatic refresh every five seconds.
#pragma once
#include "app/session/childwindow.h"

#include <QWidget>

class MainWindow;
class QCheckBox;
class QTimer;
class QTreeWidget;

class WindowListWindow : public QWidget, public ChildWindow {
    Q_OBJECT
public:
    enum Group { GatewayGroup = 0, ComPortGroup = 1, SetupGroup = 2, OtherGroup = 3 };
    static constexpr int kAutoRefreshSeconds = 5;

    explicit WindowListWindow(MainWindow& main, QWidget* parent = nullptr);

    ChildKind childKind() const override { return ChildKind::WindowList; }
    QSize sizeHint() const override;

    // The group a child window belongs to.
    static Group groupOf(QWidget* child);
    // Reads the main window's children again.
    void reload();
    // The rows of a group: "caption<TAB>class name" each.
    QStringList rows(Group group) const;
    // One second of the auto refresh countdown (the timer calls it while the box is ticked).
    void countdownTick();
    void setAutoRefresh(bool on);
    QString autoRefreshCaption() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    MainWindow& m_main;
    bool m_placed = false;
    QTreeWidget* m_tree = nullptr;
    QCheckBox* m_auto = nullptr;
    QTimer* m_timer = nullptr;
    int m_countdown = kAutoRefreshSeconds;
};
