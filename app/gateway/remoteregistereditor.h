// The state of a gateway's remote user register window, without a screen: the
// administrator decides on the registration requests of TeamSpeak users and sets each
// user's permissions, blocking and voice level. It does every file access, so it runs in
// tests; RemoteRegisterWindow (in the user interface) is the thin Qt view over it.
#pragma once
#include "app/config/settingslist.h"
#include "app/gateway/remoteregister.h"

#include <QString>

#include <array>
#include <memory>

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
    void clickActivate();        // the "Activate" button clicked into its on state
    void clickIgnore();          // the "Ignore" button clicked into its on state
    void sliderMoved(int value); // updates the level label only
    void sliderReleased();       // writes VOLUME

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
