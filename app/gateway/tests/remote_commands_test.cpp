// The chat commands, driven through a recording host: replies as the user reads them,
// replies as the session writes them on the wire, the commands sent, the delayed actions
// and the log lines.
#include "app/gateway/tests/remote_testhost.h"
#include "link/qt/linkqt.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

const QString kUid = QStringLiteral("q2Xn+k/T8bJ0vM4cVdE1YwP7s9A=");
const QString kOtherUid = QStringLiteral("Zz9Yy8Xx7Ww6Vv5Uu4Tt3Ss2Rr1=");

// A REMOTE event as the plugin sends it for "#<typed> pp1 pp2" from client 7 in
// channel 12 (values escaped as on the link; the UID travels raw).
SettingsList Event(const QString& typed, const QString& pp1 = {}, const QString& pp2 = {}, const QString& uid = kUid,
                   bool withChannel = true)
{
    SettingsList items;
    items.setValue("scHandler", "5");
    items.setValue("fromID", "7");
    items.setValue("fromUID", uid);
    items.setValue("fromNick", "Hans^sMuster");
    if (withChannel)
        items.setValue("fromCHAN", "12");
    items.setValue("cmd", LinkEscape(typed));
    items.setValue("pp1", LinkEscape(pp1));
    items.setValue("pp2", LinkEscape(pp2));
    return items;
}

class RemoteCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = RemoteRegister::pathFor(dir.path(), "{6B1C1F3A-0D5E-4E2A-9C55-1A2B3C4D5E6F}");
    }
    // What the gateway's event handling hands over: the word in upper case.
    void Handle(RecordingRemoteHost& host, const SettingsList& items)
    {
        HandleRemoteCommand(host, remote::AsciiUpper(items.value("cmd")), items);
    }
    // A user the administrator has activated, with the given permissions.
    void Activate(const QString& uid, std::initializer_list<const char*> keys, bool ignored = false)
    {
        RemoteRegister reg(path);
        ASSERT_TRUE(reg.writeDecision(uid, true, ignored));
        for (const char* k : keys)
            ASSERT_TRUE(reg.writeBool(uid, k, true));
    }

    QTemporaryDir dir;
    QString path;
};

QByteArray Wire(const char* line)
{
    return QByteArray(line) + "\r\r\n";
}

} // namespace

// Each row is one message a user sends; the reply is checked as text before escaping
// and as the exact bytes on the wire (escaped, then 7-bit: umlauts become "?").
TEST_F(RemoteCommands, RepliesInBothLanguages)
{
    struct Row {
        const char* lang;
        const char* typed;
        const char* pp1;
        const char* pp2;
        QStringList settings;
        bool channel;
        const char* reply; // UTF-8
        const char* wire;
        int callTones;
    };
    const Row rows[] = {
        {"en_US",
         "HELP",
         "",
         "",
         {},
         true,
         "[b][color=#000080]available Remote-Commands: #REGISTER / #VOLUME / #MOVE / #MUTE / #REST / #AWAY / #CALL / "
         "#INFO / #HELP[/color][/b]",
         "MSGTOUSER scHandler=5 userID=7 "
         "message=[b][color^g#000080]available^sRemote-Commands:^s#REGISTER^s^c^s#VOLUME^s"
         "^c^s#MOVE^s^c^s#MUTE^s^c^s#REST^s^c^s#AWAY^s^c^s#CALL^s^c^s#INFO^s^c^s#HELP[^ccolor][^cb]",
         0},
        {"de_DE",
         "help",
         "",
         "",
         {},
         true,
         "[b][color=#000080]verfügbare Remote-Befehle: #REGISTER / #VOLUME / #MOVE / #MUTE / #REST / #AWAY / #CALL / "
         "#INFO / #HELP[/color][/b]",
         "MSGTOUSER scHandler=5 userID=7 "
         "message=[b][color^g#000080]verf?gbare^sRemote-Befehle:^s#REGISTER^s^c^s#VOLUME^s"
         "^c^s#MOVE^s^c^s#MUTE^s^c^s#REST^s^c^s#AWAY^s^c^s#CALL^s^c^s#INFO^s^c^s#HELP[^ccolor][^cb]",
         0},
        {"de_DE",
         "Info",
         "",
         "",
         {},
         true,
         "[b][color=#800000]In dieser Version nicht verfügbar: INFO[/color][/b]",
         "MSGTOUSER scHandler=5 userID=7 "
         "message=[b][color^g#800000]In^sdieser^sVersion^snicht^sverf?gbar:^sINFO[^ccolor][^cb]",
         0},
        {"en_US",
         "ab/cd",
         "",
         "",
         {},
         true,
         "[b][color=#FF0000]REMOTE-Control-Command unknown: AB/CD[/color][/b]",
         "MSGTOUSER scHandler=5 userID=7 "
         "message=[b][color^g#FF0000]REMOTE-Control-Command^sunknown:^sAB^cCD[^ccolor][^cb]",
         0},
        {"de_DE",
         "xyzzy",
         "",
         "",
         {},
         true,
         "[b][color=#FF0000]REMOTE-Befehl unbekannt: XYZZY[/color][/b]",
         "MSGTOUSER scHandler=5 userID=7 message=[b][color^g#FF0000]REMOTE-Befehl^sunbekannt:^sXYZZY[^ccolor][^cb]",
         0},
        {"en_US",
         "VOLUME",
         "25",
         "",
         {},
         true,
         "[b][color=#FF0000]Parameter is invalid: 25  (-40 => +20) [/color][/b]",
         "MSGTOUSER scHandler=5 userID=7 "
         "message=[b][color^g#FF0000]Parameter^sis^sinvalid:^s25^s^s(-40^s^g>^s+20)^s[^ccolor][^cb]",
         0},
        {"de_DE",
         "VOLUME",
         "25",
         "",
         {},
         true,
         "[b][color=#FF0000]Parameter ist ungültig: 25  (-40 => +20) [/color][/b]",
         "MSGTOUSER scHandler=5 userID=7 "
         "message=[b][color^g#FF0000]Parameter^sist^sung?ltig:^s25^s^s(-40^s^g>^s+20)^s[^ccolor][^cb]",
         0},
        {"en_US",
         "VOLUME",
         "loud",
         "",
         {},
         true,
         "[b][color=#FF0000]Parameter is invalid: 99  (-40 => +20) [/color][/b]",
         "MSGTOUSER scHandler=5 userID=7 "
         "message=[b][color^g#FF0000]Parameter^sis^sinvalid:^s99^s^s(-40^s^g>^s+20)^s[^ccolor][^cb]",
         0},
        {"en_US",
         "VOLUME",
         "",
         "",
         {},
         true,
         "[b][color=#FF0000]Parameter is invalid: (-40 => +20) [/color][/b]",
         "MSGTOUSER scHandler=5 userID=7 "
         "message=[b][color^g#FF0000]Parameter^sis^sinvalid:^s(-40^s^g>^s+20)^s[^ccolor][^cb]",
         0},
        {"en_US",
         "MUTE",
         "1",
         "30",
         {},
         true,
         "[b][color=#008000]REMOTE-Control-Command MUTE is executed in 30 seconds...[/color][/b]",
         "MSGTOUSER scHandler=5 userID=7 "
         "message=[b][color^g#008000]REMOTE-Control-Command^sMUTE^sis^sexecuted^sin^s30^s"
         "seconds...[^ccolor][^cb]",
         0},
        {"de_DE",
         "mute",
         "1",
         "30",
         {},
         true,
         "[b][color=#008000]REMOTE-Befehl MUTE wird in 30 Sekunden ausgeführt...[/color][/b]",
         "MSGTOUSER scHandler=5 userID=7 message=[b][color^g#008000]REMOTE-Befehl^sMUTE^swird^sin^s30^sSekunden^s"
         "ausgef?hrt...[^ccolor][^cb]",
         0},
        {"en_US",
         "MOVE",
         "",
         "",
         {"REM-MOVE-REG=False"},
         false,
         "[b][color=#FF0000]MOVE not possible...[/color][/b]",
         "MSGTOUSER scHandler=5 userID=7 message=[b][color^g#FF0000]MOVE^snot^spossible...[^ccolor][^cb]",
         0},
        {"de_DE",
         "MOVE",
         "",
         "",
         {"REM-MOVE-REG=False"},
         false,
         "[b][color=#FF0000]MOVE MOVE leider nicht möglich...[/color][/b]",
         "MSGTOUSER scHandler=5 userID=7 "
         "message=[b][color^g#FF0000]MOVE^sMOVE^sleider^snicht^sm?glich...[^ccolor][^cb]",
         0},
        {"de_DE",
         "move",
         "",
         "",
         {"REM-MOVE-REG=True"},
         true,
         "[b][color=#FF0000]Keine Berechtigung für REMOTE-Befehl: MOVE[/color][/b]",
         "MSGTOUSER scHandler=5 userID=7 "
         "message=[b][color^g#FF0000]Keine^sBerechtigung^sf?r^sREMOTE-Befehl:^sMOVE[^ccolor][^cb]",
         0},
        {"en_US",
         "AWAY",
         "1",
         "",
         {"REM-AWAY-REG=True"},
         true,
         "[b][color=#FF0000]Permission denied for REMOTE-Control-Command: AWAY[/color][/b]",
         "MSGTOUSER scHandler=5 userID=7 "
         "message=[b][color^g#FF0000]Permission^sdenied^sfor^sREMOTE-Control-Command:^sAWAY[^ccolor][^cb]",
         0},
        {"en_US",
         "CALL",
         "",
         "",
         {"REM-CALL-ON=False"},
         true,
         "[b][color=#FF0000]REMOTE-Control-Command disabled: CALL[/color][/b]",
         "MSGTOUSER scHandler=5 userID=7 "
         "message=[b][color^g#FF0000]REMOTE-Control-Command^sdisabled:^sCALL[^ccolor][^cb]",
         0},
        {"de_DE",
         "call",
         "",
         "",
         {"REM-CALL-ON=True"},
         true,
         "[b][color=#008000]Der Rufton wird gesendet, Bitte kurz warten... [/color][/b]",
         "MSGTOUSER scHandler=5 userID=7 "
         "message=[b][color^g#008000]Der^sRufton^swird^sgesendet,^sBitte^skurz^swarten...^s[^ccolor][^cb]",
         1},
        {"en_US",
         "CALL",
         "",
         "",
         {"REM-CALL-ON=True", "REM-CALL-REG=True"},
         true,
         "[b][color=#FF0000]Permission denied for REMOTE-Control-Command: CALL[/color][/b]",
         "MSGTOUSER scHandler=5 userID=7 "
         "message=[b][color^g#FF0000]Permission^sdenied^sfor^sREMOTE-Control-Command:^sCALL[^ccolor][^cb]",
         0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.lang) + " #" + row.typed + " " + row.pp1 + " " + row.pp2);
        LanguageScope lang(row.lang);
        RecordingRemoteHost host(path);
        host.settings = SettingsList(row.settings);
        Handle(host, Event(row.typed, row.pp1, row.pp2, kUid, row.channel));

        ASSERT_EQ(host.sent.size(), 1) << host.sentLines().join('\n').toStdString();
        EXPECT_EQ(host.sent[0].first, "MSGTOUSER");
        // The reply as the user reads it.
        const QString params = host.sent[0].second;
        const QString prefix = QStringLiteral("scHandler=5 userID=7 message=");
        ASSERT_TRUE(params.startsWith(prefix));
        EXPECT_EQ(LinkUnescape(params.mid(prefix.size())), QString::fromUtf8(row.reply));
        // The same reply on the wire.
        EXPECT_EQ(host.wire()[0].toStdString(), Wire(row.wire).toStdString());
        EXPECT_EQ(host.callTones, row.callTones);
        // Every recognised word is logged once in grey; an unknown word is not.
        const QString word = remote::AsciiUpper(QString::fromLatin1(row.typed));
        const bool known = QStringList{"HELP", "INFO", "VOLUME", "MUTE", "MOVE", "AWAY", "CALL"}.contains(word);
        if (known) {
            ASSERT_EQ(host.logs.size(), 1);
            EXPECT_EQ(host.logs[0].first, "REMOTE-CMD: " + word);
            EXPECT_EQ(host.logs[0].second, RemoteCommandHost::LogKind::Command);
        } else {
            EXPECT_TRUE(host.logs.isEmpty());
        }
    }
}

// "#mute" and its kin toggle the client setting as last reported by SELFVAR, and a
// toggle or a direct status cancels a pending delayed action of the same kind.
TEST_F(RemoteCommands, SwitchCommandsToggleOrSetDirectly)
{
    struct Row {
        const char* typed;
        const char* pp1;
        const char* flag;      // TS3FLAGS entry
        const char* flagValue; // "" = never reported
        const char* sent;
        const char* counterPrefix;
    };
    const Row rows[] = {
        {"mute", "", "6", "1", "SETMUTE scHandler=5 status=0", "TS3-MUTE"},
        {"MUTE", "", "6", "", "SETMUTE scHandler=5 status=1", "TS3-MUTE"},
        {"Mute", "2", "6", "0", "SETMUTE scHandler=5 status=1", "TS3-MUTE"}, // neither 0 nor 1: toggle
        {"rest", "", "5", "1", "SETRUHE scHandler=5 status=0", "TS3-RUHE"},
        {"RUHE", "", "5", "0", "SETRUHE scHandler=5 status=1", "TS3-RUHE"},
        {"away", "", "38", "1", "SETAFK scHandler=5 status=0", "TS3-AWAY"},
        {"AWAY", "", "38", "", "SETAFK scHandler=5 status=1", "TS3-AWAY"},
        {"MUTE", "0", "6", "0", "SETMUTE scHandler=5 status=0", "TS3-MUTE"}, // direct, whatever the flag
        {"AWAY", "1", "38", "1", "SETAFK scHandler=5 status=1", "TS3-AWAY"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string("#") + row.typed + " " + row.pp1 + " flag " + row.flagValue);
        RecordingRemoteHost host(path);
        host.settings.setValue("REM-AWAY-REG", "False");
        host.flags.setValue(row.flag, row.flagValue);
        host.counter.setValue(QString(row.counterPrefix) + "-1", "17");
        host.counter.setValue(QString(row.counterPrefix) + "-0", "9");
        host.counter.setValue("TXTIME-HF-ON", "100");
        Handle(host, Event(row.typed, row.pp1));
        EXPECT_EQ(host.sentLines(), QStringList{row.sent});
        EXPECT_EQ(host.counter.lines(), QStringList{"TXTIME-HF-ON=100"});
        EXPECT_EQ(host.logTexts(), QStringList{"REMOTE-CMD: " + remote::AsciiUpper(row.typed)});
    }
}

TEST_F(RemoteCommands, DelayedSwitchSetsOneCounterAndSendsNothingYet)
{
    LanguageScope lang("en_US");
    RecordingRemoteHost host(path);
    host.counter.setValue("TS3-MUTE-0", "5");
    Handle(host, Event("mute", "1", "30"));
    ASSERT_EQ(host.sent.size(), 1);
    EXPECT_EQ(host.sent[0].first, "MSGTOUSER");
    EXPECT_EQ(host.counter.lines(), QStringList{"TS3-MUTE-1=30"});

    // A later delay of the other kind replaces it.
    host.clear();
    Handle(host, Event("MUTE", "0", "600"));
    EXPECT_EQ(host.counter.lines(), QStringList{"TS3-MUTE-0=600"});

    // Unusable delays: nothing sent, no answer, the pending action stays, but logged.
    for (const char* pp2 : {"x", "0", "-5", "1.5"}) {
        SCOPED_TRACE(pp2);
        host.clear();
        Handle(host, Event("MUTE", "1", pp2));
        EXPECT_TRUE(host.sent.isEmpty());
        EXPECT_EQ(host.counter.lines(), QStringList{"TS3-MUTE-0=600"});
        EXPECT_EQ(host.logTexts(), QStringList{"REMOTE-CMD: MUTE"});
    }
}

TEST_F(RemoteCommands, VolumeAnswersOldAndNewAndStoresTheValue)
{
    LanguageScope lang("en_US");
    RecordingRemoteHost host(path);
    Handle(host, Event("VOLUME", "5"));
    host.clear();
    Handle(host, Event("volume", "-10"));
    ASSERT_EQ(host.sent.size(), 1);
    EXPECT_EQ(
        host.wire()[0].toStdString(),
        Wire("MSGTOUSER scHandler=5 userID=7 message=[b][color^g#008000]User^sVolume^swas^schanged^sfrom^s5db^sto^s"
             "-10db^s[^ccolor][^cb]")
            .toStdString());
    RemoteRegister reg(path);
    EXPECT_EQ(reg.volume(kUid), -10);

    // German, limits included, and an out-of-range value leaves the stored one alone.
    LanguageScope de("de_DE");
    host.clear();
    Handle(host, Event("VOLUME", "20"));
    EXPECT_EQ(LinkUnescape(host.sent[0].second.section("message=", 1)),
              QString::fromUtf8("[b][color=#008000]User Lautstärke wurde geändert von -10db auf 20db [/color][/b]"));
    host.clear();
    Handle(host, Event("VOLUME", "-41"));
    EXPECT_EQ(reg.volume(kUid), 20);
    Handle(host, Event("VOLUME", "-40"));
    EXPECT_EQ(reg.volume(kUid), -40);
    // Volume needs no registration and creates no request.
    EXPECT_FALSE(reg.IsRemoteRegistered(kUid));
    EXPECT_TRUE(reg.users(RemoteRegister::Filter::Active).isEmpty());
}

TEST_F(RemoteCommands, RegisterStoresOnceAnswersUntilDecided)
{
    LanguageScope lang("en_US");
    RecordingRemoteHost host(path);
    SettingsList first = Event("register");
    // "Jürgen" as the plugin sends it: UTF-8 bytes, escaped.
    first.setValue("fromNick", QString::fromLatin1("J\xC3\xBCrgen^s(DL1ABC)"));
    Handle(host, first);
    const QByteArray answer =
        Wire("MSGTOUSER scHandler=5 userID=7 "
             "message=[b][color^g#000080]Registration^sis^sstored,^swaiting^sfor^sADMIN^s[^ccolor][^cb]");
    EXPECT_EQ(host.wire(), QList<QByteArray>{answer});
    ASSERT_EQ(host.logs.size(), 1); // the new request, not "REMOTE-CMD"
    EXPECT_EQ(host.logs[0].first, "New Remote-Registry!!");
    EXPECT_EQ(host.logs[0].second, RemoteCommandHost::LogKind::NewRequest);

    RemoteRegister reg(path);
    EXPECT_EQ(reg.nick(kUid), QString::fromUtf8("Jürgen (DL1ABC)"));
    EXPECT_FALSE(reg.IsRemoteRegistered(kUid));
    EXPECT_FALSE(reg.IsRemoteIgnored(kUid));
    ASSERT_EQ(reg.users(RemoteRegister::Filter::New).size(), 1);

    // Asked again under another nickname: answered again, nothing rewritten, no log.
    host.clear();
    Handle(host, Event("REGISTER"));
    EXPECT_EQ(host.wire(), QList<QByteArray>{answer});
    EXPECT_TRUE(host.logs.isEmpty());
    EXPECT_EQ(reg.nick(kUid), QString::fromUtf8("Jürgen (DL1ABC)"));

    // Once decided (activated or ignored) a request is neither stored nor answered.
    for (bool ignored : {false, true}) {
        ASSERT_TRUE(reg.writeDecision(kUid, true, ignored));
        host.clear();
        Handle(host, Event("REGISTER"));
        EXPECT_TRUE(host.sent.isEmpty());
        EXPECT_TRUE(host.logs.isEmpty());
    }
}

TEST_F(RemoteCommands, RegisterAfterVolumeIsStillANewRequest)
{
    LanguageScope lang("en_US");
    RecordingRemoteHost host(path);
    Handle(host, Event("VOLUME", "-3"));
    host.clear();
    Handle(host, Event("REGISTER"));
    EXPECT_EQ(host.logTexts(), QStringList{"New Remote-Registry!!"});
    RemoteRegister reg(path);
    EXPECT_EQ(reg.nick(kUid), "Hans Muster");
    EXPECT_EQ(reg.volume(kUid), -3);
}

// The move permission: who may move the gateway, with and without the switch.
TEST_F(RemoteCommands, MovePermissionFollowsTheRegisterAndTheSwitch)
{
    Activate(kUid, {"move"});
    Activate(kOtherUid, {"mute", "away", "call", "rest"}); // everything but move
    const QString ignoredUid = QStringLiteral("IgnoredUser0000000000000000=");
    Activate(ignoredUid, {"move"}, true);
    const QString requestUid = QStringLiteral("PendingUser0000000000000000=");
    ASSERT_EQ(RemoteRegister(path).registerRequest(requestUid, "p"), RemoteRegister::Request::Stored);
    ASSERT_TRUE(RemoteRegister(path).writeBool(requestUid, "move", true)); // undecided still

    struct Row {
        const char* sw;
        QString uid;
        const char* typed;
        bool allowed;
    };
    const Row rows[] = {
        {"False", QStringLiteral("NobodyKnowsMe0000000000000="), "MOVE", true},
        {"", QStringLiteral("NobodyKnowsMe0000000000000="), "BACK", true}, // absent switch reads false
        {"True", QStringLiteral("NobodyKnowsMe0000000000000="), "MOVE", false},
        {"True", kUid, "MOVE", true},
        {"True", kUid, "back", true},
        {"True", kOtherUid, "MOVE", false},
        {"True", kOtherUid, "BACK", false},
        {"True", ignoredUid, "MOVE", false},
        {"True", requestUid, "MOVE", false},
    };
    LanguageScope lang("en_US");
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.sw) + " " + row.uid.toStdString() + " " + row.typed);
        RecordingRemoteHost host(path);
        host.settings.setValue("REM-MOVE-REG", row.sw);
        Handle(host, Event(row.typed, "sec^sret", "", row.uid));
        const bool back = remote::AsciiUpper(row.typed) == "BACK";
        if (row.allowed)
            EXPECT_EQ(host.sentLines(), QStringList{back ? "BACKTOCHAN scHandler=5 chanPWD=sec^sret"
                                                         : "MOVETOCHAN scHandler=5 chanID=12 chanPWD=sec^sret"});
        else
            EXPECT_EQ(host.sentLines(),
                      QStringList{"MSGTOUSER scHandler=5 userID=7 message=[b][color^g#FF0000]Permission^sdenied^sfor^s"
                                  "REMOTE-Control-Command:^s" +
                                  remote::AsciiUpper(row.typed) + "[^ccolor][^cb]"});
        EXPECT_EQ(host.logTexts(), QStringList{"REMOTE-CMD: " + remote::AsciiUpper(row.typed)});
    }

    // A missing register file means nobody is registered.
    QFile::remove(path);
    RecordingRemoteHost host(path);
    host.settings.setValue("REM-MOVE-REG", "True");
    Handle(host, Event("MOVE", "", "", kUid));
    ASSERT_EQ(host.sent.size(), 1);
    EXPECT_EQ(host.sent[0].first, "MSGTOUSER");
}

// The gate applies to each command with its own key and switch.
TEST_F(RemoteCommands, GateUsesEachCommandsKey)
{
    Activate(kUid, {"rest", "call"});
    struct Row {
        const char* typed;
        const char* sw;
        bool allowed;
    };
    const Row rows[] = {
        {"MUTE", "REM-MUTE-REG", false}, {"REST", "REM-REST-REG", true}, {"RUHE", "REM-REST-REG", true},
        {"AWAY", "REM-AWAY-REG", false}, {"CALL", "REM-CALL-REG", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.typed);
        RecordingRemoteHost host(path);
        host.settings.setValue(row.sw, "True");
        host.settings.setValue("REM-CALL-ON", "True");
        Handle(host, Event(row.typed, "1"));
        ASSERT_FALSE(host.sent.isEmpty());
        const bool refused =
            host.sent[0].second.contains("Permission^sdenied") || host.sent[0].second.contains("Keine^sBerechtigung");
        EXPECT_EQ(refused, !row.allowed);
        EXPECT_EQ(host.callTones, QString(row.typed) == "CALL" && row.allowed ? 1 : 0);
    }
}

TEST_F(RemoteCommands, NoReplyWithoutFromID)
{
    RecordingRemoteHost host(path);
    host.settings.setValue("REM-MOVE-REG", "True");
    for (const char* typed : {"HELP", "INFO", "nonsense", "MOVE", "VOLUME"}) {
        SettingsList items = Event(typed);
        items.remove("fromID");
        Handle(host, items);
    }
    EXPECT_TRUE(host.sent.isEmpty());
}

// The plugin's menu entries arrive as REMOTE lines with the words in lower case and the
// unique identifier escaped.
TEST_F(RemoteCommands, MenuLinesAreHandledTheSameWay)
{
    LanguageScope lang("en_US");
    RecordingRemoteHost host(path);
    host.settings.setValue("REM-MOVE-REG", "False");
    SettingsList move;
    move.setValue("scHandler", "5");
    move.setValue("fromID", "3");
    move.setValue("fromUID", "own^cuid^g");
    move.setValue("fromCHAN", "44");
    move.setValue("cmd", "move");
    Handle(host, move);
    EXPECT_EQ(host.sentLines(), QStringList{"MOVETOCHAN scHandler=5 chanID=44 chanPWD="});

    host.clear();
    SettingsList reg;
    reg.setValue("scHandler", "5");
    reg.setValue("fromID", "9");
    reg.setValue("fromUID", "sel^cuid^g");
    reg.setValue("fromNick", "Selected");
    reg.setValue("cmd", "register");
    Handle(host, reg);
    ASSERT_EQ(host.sent.size(), 1);
    EXPECT_TRUE(host.sent[0].second.startsWith("scHandler=5 userID=9 "));
    EXPECT_EQ(RemoteRegister(path).nick("sel/uid="), "Selected"); // stored unescaped

    // Without the client's unique identifier there is nothing to register.
    host.clear();
    reg.remove("fromUID");
    Handle(host, reg);
    EXPECT_TRUE(host.sent.isEmpty());
    EXPECT_TRUE(host.logs.isEmpty());
}

TEST_F(RemoteCommands, UnwritableRegisterIsReportedNotConfirmed)
{
    LanguageScope lang("en_US");
    // The register path is a folder: every write fails.
    const QString blocked = dir.filePath("blocked.rem");
    ASSERT_TRUE(QDir().mkpath(blocked));
    RecordingRemoteHost host(blocked);
    for (const char* typed : {"REGISTER", "VOLUME"}) {
        SCOPED_TRACE(typed);
        host.clear();
        Handle(host, Event(typed, "3"));
        ASSERT_EQ(host.sent.size(), 1);
        EXPECT_EQ(LinkUnescape(host.sent[0].second.section("message=", 1)),
                  "[b][color=#FF0000]ERROR: " + QString(typed) + "[/color][/b]");
        ASSERT_FALSE(host.logs.isEmpty());
        EXPECT_EQ(host.logs[0].second, RemoteCommandHost::LogKind::Error);
    }
}
