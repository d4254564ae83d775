// The remote user register window of one gateway: the administrator decides on the
// registration requests of TeamSpeak users and sets each user's permissions, blocking
// and voice level. RemoteRegisterEditor holds the window's state and does every file
// access, so it runs in tests without a screen; RemoteRegisterWindow is the thin Qt view
// over it. Only one window exists per gateway.
#pragma once
#include "app/config/settingslist.h"
#include "app/gateway/remoteregister.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <array>
#include <memory>

class QCheckBox;
class QGroupBox;
class QLabel;
class QRadioButton;
class QSlider;
class QTabBar;
class QTreeWidget;

class RemoteRegisterEditor {
public:
    enum Tab { NewRequests = 0, ActiveRegistrations = 1, IgnoredRequests = 2 };
    // The five permissions in the order of their check boxes: move, mute, rest, away, call.
    static constexpr int kPermissions = 5;
    static const std::array<const char*, kPermissions>& permissionKeys();

    explicit RemoteRegisterEditor(QString registerPath);
    const RemoteRegister& reg() const { return m_reg; }

    // Fills the list of the current tab; when it is empty, switches to the active
    // registrations and fills again. Clears the selection.
    void start();
    // Tab change: clears the selection and refills the list.
    void setTab(int tab);
    int tab() const { return m_tab; }
    // The users of the current tab (as filled last; the list is not refilled after a
    // decision).
    const QList<RemoteRegister::User>& users() const { return m_users; }
    // Caption of a list item: the nickname, or "[No Name]".
    static QString caption(const RemoteRegister::User& user);

    // Item selection: a section name fills the controls from the file; "" clears them.
    void select(const QString& section);
    void clearSelection();

    // The controls' state.
    const QString& selected() const { return m_selected; }
    bool controlsEnabled() const { return m_enabled; }
    QString nameLabel() const { return m_name; }
    bool activateOn() const { return m_activate; }
    bool ignoreOn() const { return m_ignore; }
    bool permission(int index) const { return m_perm[size_t(index)]; }
    bool blockOn() const { return m_block; }
    int sliderValue() const { return m_slider; }
    bool sliderEnabled() const { return m_enabled && !m_block; }
    QString levelLabel() const;

    // The administrator's actions. Each writes one key (the decision two) of the selected
    // user, opening and closing the file; nothing is written while no TeamSpeak unique
    // identifier (more than 10 characters) is selected.
    void setPermission(int index, bool on);
    void setBlock(bool on);
    void clickActivate();   // the "Activate" button clicked into its on state
    void clickIgnore();     // the "Ignore" button clicked into its on state
    void sliderMoved(int value);   // updates the level label only
    void sliderReleased();         // writes VOLUME

private:
    bool writable() const { return m_selected.size() > 10; }
    void fill();

    RemoteRegister m_reg;
    int m_tab = NewRequests;
    QList<RemoteRegister::User> m_users;
    QString m_selected;
    bool m_enabled = false;
    QString m_name;
    bool m_activate = false;
    bool m_ignore = false;
    std::array<bool, kPermissions> m_perm{};
    bool m_block = false;
    int m_slider = 0;
};

class RemoteRegisterWindow : public QWidget {
    Q_OBJECT
public:
    // The open window of this gateway, or nullptr.
    static RemoteRegisterWindow* findOpen(const QString& gateUID);
    // Brings the gateway's open window to the front, or creates one (not yet shown) with
    // the caption text 0147 + " [" + gateName + "]" and starts it with the parameters
    // gateUID and CFG_FILE. *created tells which happened. The window deletes itself when
    // closed.
    static RemoteRegisterWindow* open(const SettingsList& params, const QString& configFolder, const QString& gateName,
                                      QWidget* parent = nullptr, bool* created = nullptr);

    RemoteRegisterWindow(const QString& configFolder, QWidget* parent = nullptr);
    ~RemoteRegisterWindow() override;

    // Start after the parameters are handed over (gateUID, CFG_FILE).
    void start(const SettingsList& params);
    const QString& gateUID() const { return m_gateUID; }
    RemoteRegisterEditor* editor() { return m_editor.get(); }

    // The controls, for the program's tests.
    QTabBar* tabs() const { return m_tabs; }
    QTreeWidget* userList() const { return m_list; }
    QRadioButton* activateButton() const { return m_activate; }
    QRadioButton* ignoreButton() const { return m_ignore; }
    QCheckBox* permissionBox(int index) const { return m_perm[size_t(index)]; }
    QCheckBox* blockBox() const { return m_block; }
    QSlider* slider() const { return m_slider; }
    QLabel* nameLabel() const { return m_name; }
    QLabel* levelLabel() const { return m_level; }

private:
    void buildUi();
    void showList();
    void showControls();

    QString m_configFolder;
    QString m_gateUID;
    std::unique_ptr<RemoteRegisterEditor> m_editor;
    bool m_updating = false;

    QTabBar* m_tabs = nullptr;
    QTreeWidget* m_list = nullptr;
    QLabel* m_name = nullptr;
    QGroupBox* m_decisionGroup = nullptr;
    QRadioButton* m_activate = nullptr;
    QRadioButton* m_ignore = nullptr;
    QGroupBox* m_permGroup = nullptr;
    std::array<QCheckBox*, RemoteRegisterEditor::kPermissions> m_perm{};
    QGroupBox* m_voiceGroup = nullptr;
    QSlider* m_slider = nullptr;
    QLabel* m_level = nullptr;
    QCheckBox* m_block = nullptr;
};
