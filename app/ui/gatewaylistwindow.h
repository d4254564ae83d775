// The stored gateways: reading the gateway files of the configuration folder, the actions
// offered per gateway (start/stop, edit, delete, registrations, new) and the two places
// that offer them, the gateway list window and the main window's "Gateway" menu. Nothing
// is kept between refreshes: every list and menu is read from the files each time.
#pragma once
#include "app/config/settingslist.h"
#include "app/session/childwindow.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <optional>

class MainWindow;
class QCheckBox;
class QMenu;
class QTreeWidget;
class QTreeWidgetItem;
class QToolButton;

// One stored gateway.
struct GatewayEntry {
    QString gateUID;
    QString fileName; // "<gateUID>.rdk" as found in the folder
    QString path;     // full path of the gateway file
    QString gateName;
    QString activTime; // when it was last started, as stored
    bool autorun = false;
};

namespace gatewayfiles {
// Names of the *.rdk entries of the folder that are files (not directories).
QStringList fileNames(const QString& cfgFolder);
// The decoded settings of a gateway file; std::nullopt when it is missing, cannot be read
// or decoded, or lacks gateUID.
std::optional<SettingsList> read(const QString& path);
// Every gateway of the folder in file order; files that are not gateways are left out.
QList<GatewayEntry> readAll(const QString& cfgFolder);
// The registration file beside a gateway file (same name, extension .rem).
QString registrationPath(const QString& gatewayPath);
// Deletes the gateway file and its registration file (each only if present). True when
// neither exists afterwards.
bool remove(const QString& gatewayPath);
} // namespace gatewayfiles

// The questions and messages of the actions; tests replace them.
struct GatewayDialogs {
    std::function<bool(const QString& question)> askYesNo;
    std::function<void(const QString& text)> error; // with an Abort button
    std::function<void(const QString& text)> information;
    // The new gateway's name; std::nullopt on Cancel.
    std::function<std::optional<QString>(const QString& caption, const QString& prompt)> inputName;
    // The dialogs in use (message boxes unless a test replaced them).
    static GatewayDialogs& current();
    static GatewayDialogs messageBoxes(QWidget* parent);
};

// The actions on stored gateways, through the main window.
class GatewayActions {
public:
    explicit GatewayActions(MainWindow& main);

    // GatewayIstAktiv: a gateway window with this gateUID is open.
    bool isActive(const QString& gateUID) const;
    // StoppeGateway: closes that gateway window through its close path (GW_STOP).
    void stop(const QString& gateUID);
    // Opens the gateway window for a file; caption is the window title to give it.
    QWidget* open(const QString& path, const QString& caption);
    // Stop when it runs, otherwise open its window.
    void startStop(const GatewayEntry& gw);
    // The gateway setup window of this gateway: brought to the front when open, else opened.
    QWidget* edit(const QString& gateUID, const QString& path);
    // Deletes a stopped gateway after the question; false when nothing was deleted
    // (running: error 0219; No; or a file left behind: error 0209).
    bool remove(const GatewayEntry& gw);
    // The remote registration window of this gateway (front or open).
    QWidget* registrations(const QString& gateUID, const QString& path, const QString& gateName);
    // Asks the new gateway's name and opens the setup window that creates it.
    QWidget* createNew();

    // The open child window of a kind that belongs to gateUID (nullptr when none).
    QWidget* findWindowFor(ChildKind kind, const QString& gateUID) const;

private:
    void bringToFront(QWidget* child) const;
    MainWindow& m_main;
};

// Rebuilds the main window's "Gateway" menu: keeps its first three items (new, list,
// separator) and appends one submenu per gateway, in file order.
void RebuildGatewayMenu(QMenu* menu, MainWindow& main);

// The gateway list window ("My Gateway").
class GatewayListWindow : public QWidget, public ChildWindow {
    Q_OBJECT
public:
    // Hidden columns of a row.
    enum Column { NameColumn = 0, LastUsedColumn = 1, PathColumn = 2, UidColumn = 3 };

    explicit GatewayListWindow(MainWindow& main, QWidget* parent = nullptr);
    ChildKind childKind() const override { return ChildKind::GatewayList; }

    // Clears and refills the list from the gateway files.
    void refresh();
    void setHideAutostart(bool hide);

    QTreeWidget* list() const { return m_list; }
    QCheckBox* hideAutostartBox() const { return m_hideAutostart; }
    // The context menu, its enabled states and captions set for the current selection.
    // Its actions in order: start/stop, separator, edit, delete, registrations,
    // separator, new.
    QMenu* contextMenu();
    // The gateway of the selected row (nullopt when none is selected).
    std::optional<GatewayEntry> selectedGateway() const;

    // The row actions as the menu, the buttons, the keys and a double-click run them.
    void startStopSelected();
    void editSelected();
    void deleteSelected();
    void registrationsSelected();
    void newGateway();
    void activateRow(QTreeWidgetItem* row); // double-click

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void updateMenu();

    MainWindow& m_main;
    QTreeWidget* m_list = nullptr;
    QCheckBox* m_hideAutostart = nullptr;
    QToolButton* m_refresh = nullptr;
    QToolButton* m_new = nullptr;
    QMenu* m_menu = nullptr;
    QList<GatewayEntry> m_entries; // of the rows shown, as read at the last refresh
};
