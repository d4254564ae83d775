#include "app/gateway/remoteregistereditor.h"

#include "app/config/texts.h"

#include <algorithm>

// ---------------------------------------------------------------- editor

const std::array<const char*, RemoteRegisterEditor::kPermissions>& RemoteRegisterEditor::permissionKeys()
{
    static const std::array<const char*, kPermissions> keys = {RemoteRegister::kMove, RemoteRegister::kMute,
                                                               RemoteRegister::kRest, RemoteRegister::kAway,
                                                               RemoteRegister::kCall};
    return keys;
}

RemoteRegisterEditor::RemoteRegisterEditor(QString registerPath) : m_reg(std::move(registerPath))
{
    clearSelection();
}

void RemoteRegisterEditor::fill()
{
    RemoteRegister::Filter f = RemoteRegister::Filter::New;
    if (m_tab == ActiveRegistrations)
        f = RemoteRegister::Filter::Active;
    else if (m_tab == IgnoredRequests)
        f = RemoteRegister::Filter::Ignored;
    m_users = m_reg.users(f);
}

void RemoteRegisterEditor::start()
{
    fill();
    if (m_users.isEmpty()) {
        m_tab = ActiveRegistrations;
        fill();
    }
    clearSelection();
}

void RemoteRegisterEditor::setTab(int tab)
{
    clearSelection();
    m_tab = std::clamp(tab, int(NewRequests), int(IgnoredRequests));
    fill();
}

QString RemoteRegisterEditor::caption(const RemoteRegister::User& user)
{
    return user.nick.isEmpty() ? QStringLiteral("[No Name]") : user.nick;
}

void RemoteRegisterEditor::select(const QString& section)
{
    if (section.isEmpty()) {
        clearSelection();
        return;
    }
    m_selected = section;
    m_enabled = true;
    m_name = caption({section, m_reg.nick(section)});
    const bool reg = m_reg.readBool(section, QLatin1String(RemoteRegister::kReg));
    const bool igno = m_reg.readBool(section, QLatin1String(RemoteRegister::kIgno));
    m_activate = reg && !igno;
    m_ignore = reg && igno;
    for (int i = 0; i < kPermissions; ++i)
        m_perm[size_t(i)] = m_reg.readBool(section, QLatin1String(permissionKeys()[size_t(i)]));
    m_block = m_reg.readBool(section, QLatin1String(RemoteRegister::kNotp));
    m_slider = std::clamp(m_reg.volume(section), RemoteRegister::kMinVolume, RemoteRegister::kMaxVolume);
}

void RemoteRegisterEditor::clearSelection()
{
    m_selected.clear();
    m_enabled = false;
    m_name = QStringLiteral("- - -");
    m_activate = false;
    m_ignore = false;
    m_perm.fill(false);
    m_block = false;
}

QString RemoteRegisterEditor::levelLabel() const
{
    return GetText(QStringLiteral("0808")) + QStringLiteral(": ") + QString::number(m_slider) + QStringLiteral(" db");
}

void RemoteRegisterEditor::setPermission(int index, bool on)
{
    if (index < 0 || index >= kPermissions)
        return;
    m_perm[size_t(index)] = on;
    if (writable())
        m_reg.writeBool(m_selected, QLatin1String(permissionKeys()[size_t(index)]), on);
}

void RemoteRegisterEditor::setBlock(bool on)
{
    m_block = on;
    if (writable())
        m_reg.writeBool(m_selected, QLatin1String(RemoteRegister::kNotp), on);
}

void RemoteRegisterEditor::clickActivate()
{
    m_activate = true;
    m_ignore = false;
    if (writable())
        m_reg.writeDecision(m_selected, true, false);
}

void RemoteRegisterEditor::clickIgnore()
{
    m_ignore = true;
    m_activate = false;
    if (writable())
        m_reg.writeDecision(m_selected, true, true);
}

void RemoteRegisterEditor::sliderMoved(int value)
{
    if (!sliderEnabled())
        return;
    m_slider = std::clamp(value, RemoteRegister::kMinVolume, RemoteRegister::kMaxVolume);
}

void RemoteRegisterEditor::sliderReleased()
{
    if (!sliderEnabled())
        return;
    if (writable())
        m_reg.writeInteger(m_selected, QLatin1String(RemoteRegister::kVolume), m_slider);
}
