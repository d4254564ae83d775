// Chat commands through a whole gateway engine: REMOTE lines from the plugin, replies on
// the link, the delayed actions run by the one-second counters, log lines and the
// register in the gateway's configuration folder.
#include "app/gateway/remoteregister.h"
#include "app/gateway/tests/gatewayfixture.h"
#include "app/session/linksession.h"

namespace {

// The recording engine of the gateway tests, but with the real chat command handler.
class RemoteProbeEngine : public ProbeEngine {
public:
    using ProbeEngine::ProbeEngine;
    void HandleRemoteCommand(const QString& cmd, const SettingsList& items) override
    {
        GatewayEngine::HandleRemoteCommand(cmd, items);
    }
};

class RemoteEngineTest : public GatewayTest {
protected:
    void openConnected()
    {
        host->openPorts.insert(1);
        ASSERT_TRUE(SaveSettingsFile(gatewayFile(), settings));
        engine = std::make_unique<RemoteProbeEngine>(link, *host, clock);
        SettingsList params;
        params.setValue(QStringLiteral("CFG_FILE"), gatewayFile());
        ASSERT_TRUE(engine->StarteForm(params));
        connect(3);
        link.take();
        engine->hooks.clear();
    }
    QString registerPath() const { return RemoteRegister::pathFor(host->configFolder(), kUid); }
    QStringList logTail(int n) const
    {
        QStringList out;
        const auto& log = engine->log();
        for (qsizetype i = std::max<qsizetype>(0, log.size() - n); i < log.size(); ++i)
            out << log[i].text.mid(13); // without "[hh:mm:ss] > "
        return out;
    }
};

} // namespace

TEST_F(RemoteEngineTest, DelayedMuteActsWhenItsSecondsHaveRunOut)
{
    openConnected();
    line("REMOTE", {"scHandler=3", "fromID=7", "fromUID=q2Xn+k/T8bJ0vM4cVdE1YwP7s9A=", "fromNick=Hans", "fromCHAN=12",
                    "cmd=MUTE", "pp1=1", "pp2=30"});
    EXPECT_EQ(link.take(),
              QStringList{"MSGTOUSER scHandler=3 userID=7 message=[b][color^g#008000]REMOTE-Control-Command^s"
                          "MUTE^sis^sexecuted^sin^s30^sseconds...[^ccolor][^cb]"});
    ASSERT_FALSE(engine->log().isEmpty());
    EXPECT_EQ(logTail(1), QStringList{"REMOTE-CMD: MUTE"});
    EXPECT_EQ(engine->log().last().color, GwColor::Grey);

    seconds(30);
    EXPECT_TRUE(link.take().filter("SETMUTE").isEmpty());
    seconds(1); // a countdown set to 30 fires on the 31st tick
    EXPECT_EQ(link.take().filter("SETMUTE"), QStringList{"SETMUTE scHandler=3 status=1"});
    seconds(5);
    EXPECT_TRUE(link.take().filter("SETMUTE").isEmpty());
}

TEST_F(RemoteEngineTest, LowerCaseMuteTogglesFromTheReportedFlag)
{
    openConnected();
    line("SELFVAR", {"scHandler=3", "flag=6", "newValue=1"});
    line("REMOTE", {"scHandler=3", "fromID=7", "fromUID=x", "cmd=mute"});
    EXPECT_EQ(link.take(), QStringList{"SETMUTE scHandler=3 status=0"});
    line("SELFVAR", {"scHandler=3", "flag=6", "newValue=0"});
    line("REMOTE", {"scHandler=3", "fromID=7", "fromUID=x", "cmd=mUtE"});
    EXPECT_EQ(link.take(), QStringList{"SETMUTE scHandler=3 status=1"});

    // A pending delayed action is cancelled by a toggle.
    line("REMOTE", {"scHandler=3", "fromID=7", "fromUID=x", "cmd=mute", "pp1=0", "pp2=5"});
    line("REMOTE", {"scHandler=3", "fromID=7", "fromUID=x", "cmd=mute"});
    link.take();
    seconds(10);
    EXPECT_TRUE(link.take().filter("SETMUTE").isEmpty());
}

TEST_F(RemoteEngineTest, RegisterCreatesTheGatewaysRegisterAndLogsInBoldNavy)
{
    SetAppLang("de_DE");
    openConnected();
    ASSERT_FALSE(QFile::exists(registerPath()));
    line("REMOTE",
         {"scHandler=3", "fromID=9", "fromUID=q2Xn+k/T8bJ0vM4cVdE1YwP7s9A=", "fromNick=J\xC3\xBCrgen", "cmd=register"});
    const QStringList sent = link.take();
    ASSERT_EQ(sent.size(), 1);
    // On the wire the session sends the umlaut of "Registrierung" texts as "?"; this one
    // has none, the nickname is not echoed.
    EXPECT_EQ(
        LinkSession::encodeCommand("MSGTOUSER", sent[0].section(' ', 1)),
        QByteArray("MSGTOUSER scHandler=3 userID=9 message=[b][color^g#000080]Registrierung^swurde^sgespeichert,^s"
                   "warte^sauf^sADMIN^s[^ccolor][^cb]\r\r\n"));
    ASSERT_FALSE(engine->log().isEmpty());
    EXPECT_EQ(logTail(1), QStringList{"Neue Remote-Registrierung!!"});
    EXPECT_EQ(engine->log().last().color, GwColor::Navy);
    EXPECT_EQ(engine->log().last().style, GwStyle::Bold);
    EXPECT_EQ(RemoteRegister(registerPath()).nick("q2Xn+k/T8bJ0vM4cVdE1YwP7s9A="), QString::fromUtf8("Jürgen"));
}

TEST_F(RemoteEngineTest, MoveAndCallFollowTheGatewaySettings)
{
    settings.setValue("REM-MOVE-REG", "True");
    settings.setValue("REM-CALL-ON", "True");
    settings.setValue("REM-CALL-REG", "False");
    openConnected();
    const char* uid = "fromUID=q2Xn+k/T8bJ0vM4cVdE1YwP7s9A=";
    line("REMOTE", {"scHandler=3", "fromID=7", uid, "fromCHAN=12", "cmd=move"});
    EXPECT_EQ(link.take(),
              QStringList{"MSGTOUSER scHandler=3 userID=7 message=[b][color^g#FF0000]Permission^sdenied^sfor^s"
                          "REMOTE-Control-Command:^sMOVE[^ccolor][^cb]"});

    RemoteRegister reg(registerPath());
    ASSERT_TRUE(reg.writeDecision("q2Xn+k/T8bJ0vM4cVdE1YwP7s9A=", true, false));
    ASSERT_TRUE(reg.writeBool("q2Xn+k/T8bJ0vM4cVdE1YwP7s9A=", "move", true));
    line("REMOTE", {"scHandler=3", "fromID=7", uid, "fromCHAN=12", "cmd=move", "pp1=geheim"});
    EXPECT_EQ(link.take(), QStringList{"MOVETOCHAN scHandler=3 chanID=12 chanPWD=geheim"});

    line("REMOTE", {"scHandler=3", "fromID=7", uid, "cmd=call"});
    EXPECT_EQ(engine->hooks, QStringList{"PlayCallTone"});
    ASSERT_EQ(link.take().size(), 1);

    // Lines for another connection, or without a sender, are not chat commands here.
    line("REMOTE", {"scHandler=4", "fromID=7", uid, "cmd=help"});
    line("REMOTE", {"scHandler=3", "fromID=0", uid, "cmd=help"});
    EXPECT_TRUE(link.take().isEmpty());
}
