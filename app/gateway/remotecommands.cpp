#include "app/gateway/remotecommands.h"

#include "app/config/gatewaykeys.h"
#include "app/config/texts.h"
#include "app/gateway/gatewaynames.h"
#include "app/gateway/remoteregister.h"
#include "link/qt/linkqt.h"

namespace remote {

QString BBCode(const char* colour, const QString& text)
{
    return QStringLiteral("[b][color=#") + QLatin1String(colour) + QLatin1Char(']') + text +
           QStringLiteral("[/color][/b]");
}

QString AsciiUpper(const QString& text)
{
    QString out = text;
    for (QChar& ch : out)
        if (ch >= QLatin1Char('a') && ch <= QLatin1Char('z'))
            ch = QChar(ch.unicode() - 32);
    return out;
}

} // namespace remote

namespace {

using remote::BBCode;

QString T(const char* id)
{
    return GetText(QLatin1String(id));
}

// The commands that switch one setting of the gateway's own client.
struct Switch {
    const char* word;
    const char* key;          // permission in the register
    const QString& regSwitch; // gateway setting: the command needs registration
    const QString& flag;      // TS3FLAGS entry of the client setting
    const char* command;      // link command
    const QString& actionOff; // delayed actions (COUNTER) that switch it off and on
    const QString& actionOn;
};
const Switch kSwitches[] = {
    {"MUTE", RemoteRegister::kMute, gwkey::REM_MUTE_REG, clientflag::OUTPUT_MUTED, "SETMUTE", counter::TS3_MUTE_0,
     counter::TS3_MUTE_1},
    {"REST", RemoteRegister::kRest, gwkey::REM_REST_REG, clientflag::INPUT_MUTED, "SETRUHE", counter::TS3_RUHE_0,
     counter::TS3_RUHE_1},
    {"RUHE", RemoteRegister::kRest, gwkey::REM_REST_REG, clientflag::INPUT_MUTED, "SETRUHE", counter::TS3_RUHE_0,
     counter::TS3_RUHE_1},
    {"AWAY", RemoteRegister::kAway, gwkey::REM_AWAY_REG, clientflag::AWAY, "SETAFK", counter::TS3_AWAY_0,
     counter::TS3_AWAY_1},
};

class Handler {
public:
    Handler(RemoteCommandHost& host, const QString& cmd, const SettingsList& items)
        : m_host(host), m_items(items), m_reg(host.registerPath())
    {
        // The engine upper-cases the escaped word; echo the word as it was typed (a "/"
        // in an unknown word travels as a caret code, which upper case would spoil).
        const QString raw = items.value(QStringLiteral("cmd"));
        m_cmd = (!raw.isEmpty() && remote::AsciiUpper(raw) == cmd) ? remote::AsciiUpper(LinkUnescape(raw)) : cmd;
        m_fromID = items.value(QStringLiteral("fromID"));
        m_uid = LinkUnescape(items.value(QStringLiteral("fromUID")));
        m_id = QString::number(host.scHandlerID());
    }

    void run()
    {
        bool known = true;
        bool logged = true;
        if (m_cmd == QLatin1String("REGISTER")) {
            doRegister();
            logged = false;
        } else if (m_cmd == QLatin1String("VOLUME")) {
            doVolume();
        } else if (m_cmd == QLatin1String("MOVE")) {
            if (permitted(RemoteRegister::kMove, gwkey::REM_MOVE_REG))
                doMove();
        } else if (m_cmd == QLatin1String("BACK")) {
            if (permitted(RemoteRegister::kMove, gwkey::REM_MOVE_REG))
                m_host.sendToTS3(QStringLiteral("BACKTOCHAN"), sched() + QStringLiteral(" chanPWD=") + item("pp1"));
        } else if (const Switch* sw = findSwitch()) {
            if (permitted(sw->key, sw->regSwitch))
                doSwitch(*sw);
        } else if (m_cmd == QLatin1String("CALL")) {
            if (permitted(RemoteRegister::kCall, gwkey::REM_CALL_REG))
                doCall();
        } else if (m_cmd == QLatin1String("INFO")) {
            reply(remote::kDarkRed, T("0715") + QStringLiteral(": ") + m_cmd);
        } else if (m_cmd == QLatin1String("HELP")) {
            reply(remote::kNavy, T("0619") + QStringLiteral(": ") +
                                     QStringLiteral("#REGISTER / #VOLUME / #MOVE / #MUTE / #REST / #AWAY / "
                                                    "#CALL / #INFO / #HELP"));
        } else {
            known = false;
        }

        if (!known)
            reply(remote::kRed, T("0602") + QStringLiteral(": ") + m_cmd);
        else if (logged)
            m_host.writeLog(QStringLiteral("REMOTE-CMD: ") + m_cmd, RemoteCommandHost::LogKind::Command);
    }

private:
    QString item(const char* key) const { return m_items.value(QLatin1String(key)); }
    QString sched() const { return QStringLiteral("scHandler=") + m_id; }

    void reply(const char* colour, const QString& text)
    {
        if (m_fromID.isEmpty())
            return;
        m_host.sendToTS3(QStringLiteral("MSGTOUSER"), sched() + QStringLiteral(" userID=") + m_fromID +
                                                          QStringLiteral(" message=") +
                                                          LinkEscape(BBCode(colour, text)));
    }

    // The permission gate: refused when the command needs registration and the sender is
    // not registered for its key.
    bool permitted(const char* key, const QString& regSwitch)
    {
        if (!TextToBool(m_host.setting(regSwitch)))
            return true;
        if (m_reg.IsRemoteAllowed(m_uid, QLatin1String(key)))
            return true;
        reply(remote::kRed, T("0601") + QStringLiteral(": ") + m_cmd);
        return false;
    }

    void writeFailed()
    {
        m_host.writeLog(T("0129") + QStringLiteral(": ") + m_reg.path(), RemoteCommandHost::LogKind::Error);
        reply(remote::kRed, T("0129") + QStringLiteral(": ") + m_cmd);
    }

    void doRegister()
    {
        // Without the sender's unique identifier there is nothing to store a request under.
        if (m_uid.trimmed().isEmpty())
            return;
        switch (m_reg.registerRequest(m_uid, LinkText(item("fromNick")))) {
        case RemoteRegister::Request::Decided:
            return;
        case RemoteRegister::Request::Stored:
            m_host.writeLog(T("0154"), RemoteCommandHost::LogKind::NewRequest);
            break;
        case RemoteRegister::Request::Pending:
            break;
        case RemoteRegister::Request::Failed:
            writeFailed();
            return;
        }
        reply(remote::kNavy, T("0612"));
    }

    void doVolume()
    {
        const QString pp1 = item("pp1");
        if (pp1.isEmpty()) {
            reply(remote::kRed, T("0618") + QStringLiteral(": (-40 => +20) "));
            return;
        }
        if (m_uid.isEmpty())
            return;
        const int v = StrToIntDef(LinkUnescape(pp1), 99);
        if (v > RemoteRegister::kMaxVolume || v < RemoteRegister::kMinVolume) {
            reply(remote::kRed,
                  T("0618") + QStringLiteral(": ") + QString::number(v) + QStringLiteral("  (-40 => +20) "));
            return;
        }
        int old = 0;
        if (!m_reg.exchangeVolume(m_uid, v, &old)) {
            writeFailed();
            return;
        }
        reply(remote::kGreen, T("0616") + QLatin1Char(' ') + QString::number(old) + QStringLiteral("db ") + T("0617") +
                                  QLatin1Char(' ') + QString::number(v) + QStringLiteral("db "));
    }

    void doMove()
    {
        const QString chan = item("fromCHAN");
        if (chan.isEmpty()) {
            reply(remote::kRed, m_cmd + QLatin1Char(' ') + T("0603"));
            return;
        }
        m_host.sendToTS3(QStringLiteral("MOVETOCHAN"),
                         sched() + QStringLiteral(" chanID=") + chan + QStringLiteral(" chanPWD=") + item("pp1"));
    }

    const Switch* findSwitch() const
    {
        for (const Switch& sw : kSwitches)
            if (m_cmd == QLatin1String(sw.word))
                return &sw;
        return nullptr;
    }

    void doSwitch(const Switch& sw)
    {
        const QString& off = sw.actionOff;
        const QString& on = sw.actionOn;
        const QString command = QLatin1String(sw.command);
        const QString pp1 = LinkUnescape(item("pp1"));
        const QString pp2 = LinkUnescape(item("pp2"));

        if (pp1 != QLatin1String("0") && pp1 != QLatin1String("1")) {
            m_host.setCounter(off, QString());
            m_host.setCounter(on, QString());
            const bool set = m_host.ts3Flag(sw.flag) == QLatin1String("1");
            m_host.sendToTS3(command, sched() + (set ? QStringLiteral(" status=0") : QStringLiteral(" status=1")));
            return;
        }
        if (pp2.isEmpty()) {
            m_host.setCounter(off, QString());
            m_host.setCounter(on, QString());
            m_host.sendToTS3(command, sched() + QStringLiteral(" status=") + pp1);
            return;
        }
        const int seconds = StrToIntDef(pp2, 0);
        if (seconds <= 0)
            return; // an unusable delay is ignored
        reply(remote::kGreen, T("0604") + QLatin1Char(' ') + m_cmd + QLatin1Char(' ') + T("0605") + QLatin1Char(' ') +
                                  pp2 + QLatin1Char(' ') + T("0606"));
        const bool one = pp1 == QLatin1String("1");
        m_host.setCounter(one ? on : off, QString::number(seconds));
        m_host.setCounter(one ? off : on, QString());
    }

    void doCall()
    {
        if (!m_fromID.isEmpty() && TextToBool(m_host.setting(gwkey::REM_CALL_ON))) {
            m_host.playCallTone();
            reply(remote::kGreen, T("0613"));
        } else {
            reply(remote::kRed, T("0614") + QStringLiteral(": ") + m_cmd);
        }
    }

    RemoteCommandHost& m_host;
    const SettingsList& m_items;
    RemoteRegister m_reg;
    QString m_cmd;
    QString m_fromID;
    QString m_uid;
    QString m_id;
};

} // namespace

void HandleRemoteCommand(RemoteCommandHost& host, const QString& cmd, const SettingsList& items)
{
    Handler(host, cmd, items).run();
}
