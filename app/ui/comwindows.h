// The COM port editor and the COM status window: thin views over the ComPortManager.
// The main window hosts them as MDI children and implements ComWindowHost.
#pragma once

#include "app/serial/serialdevices.h"

#include <QColor>
#include <QFrame>
#include <QTimer>
#include <QWidget>

#include <functional>

class ComPortManager;
class QLabel;
class QMenu;
class QTreeWidget;
class QTreeWidgetItem;
class QToolButton;
class QPushButton;

// What the windows need of the main window.
class ComWindowHost {
public:
    virtual ~ComWindowHost() = default;
    // True when a status window for port n is open; that window is brought to the front.
    virtual bool COMStatusIstAktiv(int n) = 0;
    // Opens the status window for port n (caption text 0304 + ": COM" + n) at top/left.
    virtual void openCOMStatusWindow(int n, int top, int left) = 0;
};

// COM port editor: the machine's ports with their state and device, opening and closing,
// the start-up set ("Save + Open") and the status window per port. Ports configured in
// comport.cfg are listed also when their device is missing, lost or refused, with the
// reason; the device of a port is chosen from the machine's devices by stable name.
class ComPortEditor : public QWidget {
    Q_OBJECT
public:
    // Ports listed: 1..50 (the ports the manager can hold).
    ComPortEditor(ComPortManager& manager, ComWindowHost* host, QWidget* parent = nullptr);

    // Columns of the list.
    enum Column { ColName, ColStatus, ColDevice, ColDescription, ColNote };
    // The machine's devices offered for a port (default: listSystemDevices()).
    void setDeviceLister(std::function<QList<SystemDevice>()> lister);
    // Stores the device of port n (its stable name when it has one) and rebuilds the list.
    void chooseDevice(int n, const QString& device);

    // Re-probes the ports and rebuilds the list (F5, the refresh button).
    void rebuildList();
    // "Save + Open": closes every port, opens the ticked rows in list order, saves the
    // port set, rebuilds the list and asks to be closed.
    void saveAndOpen();

    // The row of port n, or nullptr when the port is not listed.
    QTreeWidgetItem* rowOfPort(int n) const;
    static int portOfRow(const QTreeWidgetItem* row);
    QTreeWidget* list() const { return m_list; }
    // The context menu for the current row, its actions in order (status window,
    // open/close, status on autorun, the device submenu); disabled while no row is selected.
    QMenu* contextMenu();

signals:
    void closeRequested();

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    void openStatusWindow(int n);
    void toggleOpen(int n);
    void toggleAutorunStatus(int n);
    void updateMenu();
    QString stableName(const QString& device) const;

    ComPortManager& m_mgr;
    ComWindowHost* m_host;
    std::function<QList<SystemDevice>()> m_lister;
    QList<SystemDevice> m_devices;
    QTreeWidget* m_list;
    QToolButton* m_refresh;
    QPushButton* m_save;
    QMenu* m_menu;
};

// One status lamp; outputs can be pressed for hand keying.
class ComLed : public QFrame {
    Q_OBJECT
public:
    explicit ComLed(QWidget* parent = nullptr);
    void setColor(const QColor& c);
    QColor color() const { return m_color; }

signals:
    void pressed();
    void released();

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    QColor m_color;
    bool m_down = false;
};

// COM status window: the six lines of one port, refreshed every 250 ms; pressing an
// output lamp keys that output by hand (holder "STKLICK" + n) until released.
class ComStatusWindow : public QWidget {
    Q_OBJECT
public:
    static const QColor kOutputOn, kOutputOff, kInputOn, kInputOff, kClosed;

    ComStatusWindow(ComPortManager& manager, int port, int top, int left, QWidget* parent = nullptr);
    ~ComStatusWindow() override;

    int PORT_ID() const { return m_port; }
    // One 250 ms pass: reads the six lines through the manager.
    void refresh();
    // LED1..LED6 = RTS, DTR, BREAK, DSR, CTS, RING.
    ComLed* led(int i) const { return m_leds[i - 1]; }
    // Below the lamps: why the port is not usable (lost adapter, no permission...), or empty.
    QString noteText() const;
    // Hand keying of LED1..LED3 (as the mouse does).
    void pressOutput(int i);
    void releaseOutput(int i);

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    QWidget* frameWidget();
    void releaseAll();

    ComPortManager& m_mgr;
    int m_port;
    int m_top, m_left;
    bool m_placed = false;
    bool m_keyed[3] = {false, false, false};
    ComLed* m_leds[6];
    QLabel* m_note;
    QTimer m_timer;
};
