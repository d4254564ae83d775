// The command catalogue: for each command line, the client calls the plugin makes (in
// order, reads left out) and the reply bytes.
#include "plugin_fixture.h"

namespace {

struct Case {
    const char* name;
    std::string line;
    std::vector<std::string> actions;
    std::string reply;
};

using V = std::vector<std::string>;

} // namespace

class Commands : public PluginFixture {
protected:
    void SetUp() override
    {
        PluginFixture::SetUp();
        gateway(3, 10, 5);
        auto& m = fake::model();
        std::lock_guard<std::recursive_mutex> l(m.mutex);
        m.addChannel(3, 6, "Main", 0);
        m.handler(3).channels[5].parent = 6;
        m.addClient(3, 20, "Anna", 5, 1);
        m.addClient(3, 21, "Bert", 5, 0);
        m.addClient(3, 22, "Cleo", 6, 1);
        m.readableWaves = {"/tmp/roger.wav"};
        m.clearCalls();
    }

    void run(const std::vector<Case>& cases)
    {
        for (const Case& c : cases) {
            fake::model().clearCalls();
            EXPECT_EQ(exchange(c.line), c.reply) << c.name;
            EXPECT_EQ(fake::model().actions(), c.actions) << c.name;
        }
    }
};

TEST_F(Commands, OwnClientSettings)
{
    run({
        {"ptt on",
         "SETPTT scHandler=3 status=1",
         {"setPreProcessorConfigValue(3,vad,false)", "setPreProcessorConfigValue(3,denoise,false)",
          "setPreProcessorConfigValue(3,agc,false)", "setPreProcessorConfigValue(3,echo_canceling,false)",
          "setClientSelfVariableAsInt(3,10,0)", "flushClientSelfUpdates(3,rc)"},
         ""},
        {"ptt status 2 opens like 1",
         "SETPTT scHandler=3 status=2",
         {"setPreProcessorConfigValue(3,vad,false)", "setPreProcessorConfigValue(3,denoise,false)",
          "setPreProcessorConfigValue(3,agc,false)", "setPreProcessorConfigValue(3,echo_canceling,false)",
          "setClientSelfVariableAsInt(3,10,0)", "flushClientSelfUpdates(3,rc)"},
         ""},
        {"ptt off",
         "SETPTT scHandler=3 status=0",
         {"setPreProcessorConfigValue(3,vad,false)", "setPreProcessorConfigValue(3,denoise,false)",
          "setPreProcessorConfigValue(3,agc,false)", "setPreProcessorConfigValue(3,echo_canceling,false)",
          "setClientSelfVariableAsInt(3,10,1)", "flushClientSelfUpdates(3,rc)"},
         ""},
        {"vox off",
         "SETVOX scHandler=3 status=0",
         {"setClientSelfVariableAsInt(3,10,1)", "flushClientSelfUpdates(3,rc)",
          "setPreProcessorConfigValue(3,vad,false)"},
         ""},
        {"vox on",
         "SETVOX scHandler=3 status=1 level=-20",
         {"setPreProcessorConfigValue(3,denoise,false)", "setPreProcessorConfigValue(3,agc,false)",
          "setPreProcessorConfigValue(3,echo_canceling,false)", "setClientSelfVariableAsInt(3,10,0)",
          "setPreProcessorConfigValue(3,vad,true)", "setPreProcessorConfigValue(3,voiceactivation_level,-20)",
          "flushClientSelfUpdates(3,rc)"},
         ""},
        {"vox on without level", "SETVOX scHandler=3 status=1", {}, ""},
        {"vox other status", "SETVOX scHandler=3 status=2 level=5", {}, ""},
        {"nick cut to 64 bytes",
         "SETNICK scHandler=3 nickname=" + std::string(70, 'n'),
         {"setClientSelfVariableAsString(3,1," + std::string(64, 'n') + ")", "flushClientSelfUpdates(3,rc)"},
         ""},
        {"nick unescaped",
         "SETNICK scHandler=3 nickname=Relay^s1",
         {"setClientSelfVariableAsString(3,1,Relay 1)", "flushClientSelfUpdates(3,rc)"},
         ""},
        {"channel commander",
         "SETCHCOM scHandler=3 status=1",
         {"setClientSelfVariableAsInt(3,57,1)", "flushClientSelfUpdates(3,rc)"},
         ""},
        {"away",
         "SETAFK scHandler=3 status=1",
         {"setClientSelfVariableAsInt(3,38,1)", "flushClientSelfUpdates(3,rc)"},
         ""},
        {"input muted",
         "SETRUHE scHandler=3 status=0",
         {"setClientSelfVariableAsInt(3,5,0)", "flushClientSelfUpdates(3,rc)"},
         ""},
        {"output muted",
         "SETMUTE scHandler=3 status=1",
         {"setClientSelfVariableAsInt(3,6,1)", "flushClientSelfUpdates(3,rc)"},
         ""},
        {"info (any handler)",
         "SETINFO scHandler=3 text=On^sair",
         {"setClientSelfVariableAsString(3,15,On air)", "flushClientSelfUpdates(3,rc)",
          "requestClientEditDescription(3,10,On air,rc)", "flushClientSelfUpdates(3,rc)"},
         ""},
    });
}

TEST_F(Commands, RejectedSettingSkipsTheFlush)
{
    fake::model().failing = {"setClientSelfVariableAsInt"};
    run({{"away rejected", "SETAFK scHandler=3 status=1", {"setClientSelfVariableAsInt(3,38,1)"}, ""},
         {"vox on rejected",
          "SETVOX scHandler=3 status=1 level=3",
          {"setPreProcessorConfigValue(3,denoise,false)", "setPreProcessorConfigValue(3,agc,false)",
           "setPreProcessorConfigValue(3,echo_canceling,false)", "setClientSelfVariableAsInt(3,10,0)"},
          ""}});
}

TEST_F(Commands, GateCommandsDoNothingForOtherHandlers)
{
    rdplugin::TS3StatusData notConnected = *plugin->entry(3);
    notConnected.isConnected = false;
    plugin->setEntry(4, notConnected);
    for (const char* line :
         {"SETPTT scHandler=9 status=1", "SETPTT scHandler=0 status=1", "SETPTT scHandler=4 status=1",
          "SETPTT scHandler=250 status=1", "SETPTT scHandler=-3 status=1",
          "MSGTOCHAN scHandler=9 message=Hello^severybody", "MOVETOCHAN scHandler=250 chanID=5",
          "PLAYWAVE scHandler=9 level=0 len=5 file=^ctmp^croger.wav"}) {
        fake::model().clearCalls();
        EXPECT_EQ(exchange(line), "") << line;
        EXPECT_EQ(fake::model().actions(), V{}) << line;
    }
}

TEST_F(Commands, MovesAndMessages)
{
    run({
        {"move to own channel", "MOVETOCHAN scHandler=3 chanID=5", {}, "GW_ERROR scHandler=3 errorCode=101\r"},
        {"back without earlier channel", "BACKTOCHAN scHandler=3", {}, "GW_ERROR scHandler=3 errorCode=102\r"},
        {"move", "MOVETOCHAN scHandler=3 chanID=6 chanPWD=secret", {"requestClientMove(3,10,6,secret,rc)"}, ""},
    });
    // The move event has not come: the client is still in 5, the earlier channel is 5 too.
    EXPECT_EQ(plugin->entry(3)->prevChannelID, 5u);
    plugin->onClientMove(3, 10, 5, 6, RETAIN_VISIBILITY, "");
    written();
    run({
        {"back", "BACKTOCHAN scHandler=3 chanPWD=pw", {"requestClientMove(3,10,5,pw,rc)"}, ""},
        {"short message not sent", "MSGTOUSER scHandler=3 userID=20 message=Hallo", {}, ""},
        {"ten bytes not sent", "MSGTOCHAN scHandler=3 message=0123456789", {}, ""},
        {"private message",
         "MSGTOUSER scHandler=3 userID=20 message=Hallo^sAnna!",
         {"requestSendPrivateTextMsg(3,Hallo Anna!,20,rc)"},
         ""},
        {"channel message",
         "MSGTOCHAN scHandler=3 message=[b]Beacon^s1[^cb]",
         {"requestSendChannelTextMsg(3,[b]Beacon 1[/b],6,rc)"},
         ""},
        {"poke",
         "POKEUSER scHandler=3 userID=21 message=Wake^sup^snow",
         {"requestClientPoke(3,21,Wake up now,rc)"},
         ""},
        {"gates: keys sorted, cmd and scHandler left out",
         "MSGTOGATES scHandler=3 zeta=1 cmd=GATE_PONG timestamp=1700000000 alpha=x^sy",
         {"sendPluginCommand(3,rdtest,GATE_PONG fromID=10 alpha=x^sy timestamp=1700000000 zeta=1,1,NULL,rc)"},
         ""},
        {"gates: cmd of 3 bytes", "MSGTOGATES scHandler=3 cmd=ABC", {}, ""},
    });
}

TEST_F(Commands, MutesVolumesAndPermissions)
{
    run({
        {"mute", "MUTECLIENT scHandler=3 userID=20", {"requestMuteClients(3,[20],rc)"}, ""},
        {"unmute", "UNMUTECLIENT scHandler=3 userID=20", {"requestUnmuteClients(3,[20],rc)"}, ""},
        {"unmute all", "UNMUTEALL scHandler=3", {"requestUnmuteClients(3,[10,20,21],rc)"}, ""},
        {"volume", "SETCLIENTVOLUME scHandler=3 userID=20 level=-6.5", {"setClientVolumeModifier(3,20,-6.5)"}, ""},
        {"volume blocked",
         "SETCLIENTVOLUME scHandler=3 userID=20 level=2 block=1",
         {"requestMuteClients(3,[20],rc)"},
         ""},
        {"voice volume",
         "SETVOICEVOLUME scHandler=3 userID=21 level=1.5 general=0.5",
         {"setClientVolumeModifier(3,21,1.5)", "setPlaybackConfigValue(3,volume_modifier,0.5)"},
         ""},
        {"channel permissions", "GETCHANPERM scHandler=3", {"requestChannelPermList(3,5,rc)"}, ""},
        {"user permissions", "GETUSERPERM scHandler=3 userID=20", {"requestClientDBIDfromUID(3,uid20+/=,rc)"}, ""},
        {"user permissions of an unknown client", "GETUSERPERM scHandler=3 userID=99", {}, ""},
        {"wave level", "SETWAVELEVEL scHandler=3 level=-3", {"setPlaybackConfigValue(3,volume_factor_wave,-3)"}, ""},
    });
    plugin->onClientDBIDfromUID(3, "uid20+/=", 77);
    EXPECT_EQ(fake::model().actions().back(), "requestClientPermList(3,77,rc)");
}

TEST_F(Commands, QueriesAndWaves)
{
    run({
        {"speakers", "GETSPEAKER scHandler=3", {}, "SPEAKERS scHandler=3 speakers=1 users=2 status=1 \r"},
        {"channel path of the own channel",
         "GETCHANPATH scHandler=3 channel=0 save=1",
         {},
         "CHANNELPATH scHandler=3 path=Main^cLobby channelID=5 save=1\r"},
        {"channel path of an unknown channel",
         "GETCHANPATH scHandler=3 channel=44 save=0",
         {},
         "ERROR scHandler=3 error=44\r"},
        {"channel info",
         "GETCHANNELS scHandler=3 type=info chID=6",
         {},
         "CHANNELS scHandler=3 type=info chID=6 chName=Main\r"},
        {"channel ids", "GETCHANNELS scHandler=3 type=ids", {}, "CHANNELS scHandler=3 type=ids ids=5|6\r"},
        {"channels of another type", "GETCHANNELS scHandler=3 type=tree", {}, ""},
        {"wave plays",
         "PLAYWAVE scHandler=3 level=-2 len=1500 file=^ctmp^croger.wav",
         {"setPlaybackConfigValue(3,volume_factor_wave,-2)", "playWaveFile(3,/tmp/roger.wav)"},
         "WAVEPLAYER scHandler=3 status=1 len=1500 error=0\r"},
        {"wave fails",
         "PLAYWAVE scHandler=3 level=-2 len=1500 file=^ctmp^cnone.wav",
         {"setPlaybackConfigValue(3,volume_factor_wave,-2)", "playWaveFile(3,/tmp/none.wav)"},
         "WAVEPLAYER scHandler=3 status=0 len=0 error=100\r"},
        {"custom device",
         "SENDTOTS scHandler=3",
         {"registerCustomDevice(TEST111,RelaydeckDevice,44100,1,44100,1)", "openCaptureDevice(3,,TEST111)",
          "processCustomCaptureData(TEST111,NULL,0)"},
         ""},
        {"test connection", "AC_START ", {"startConnection(1,,test.relaydeck.invalid,0,TEST,NULL,,)"}, ""},
        {"nothing", "AC_STOP ", {}, ""},
    });
}

TEST_F(Commands, ChannelListsAndPathsStayWithinTheirLimits)
{
    {
        auto& m = fake::model();
        std::lock_guard<std::recursive_mutex> l(m.mutex);
        for (uint64 id = 100; id < 300; ++id)
            m.handler(1).channelOrder.push_back(id);
        // A chain of 25 nested channels: only the start and 18 parents make the path.
        for (uint64 id = 400; id < 425; ++id)
            m.addChannel(3, id, "C" + std::to_string(id), id == 400 ? 0 : id - 1);
    }
    const std::string ids = exchange("GETCHANNELS scHandler=1 type=ids");
    std::string expected = "CHANNELS scHandler=1 type=ids ids=100";
    for (int id = 101; id < 251; ++id)
        expected += "|" + std::to_string(id);
    EXPECT_EQ(ids, expected + "\r");

    std::string path;
    for (int id = 406; id <= 424; ++id)
        path += (path.empty() ? "" : "^c") + ("C" + std::to_string(id));
    EXPECT_EQ(exchange("GETCHANPATH scHandler=3 channel=424 save=0"),
              "CHANNELPATH scHandler=3 path=" + path + " channelID=424 save=0\r");
}

TEST_F(Commands, ConnectAndStop)
{
    {
        auto& m = fake::model();
        std::lock_guard<std::recursive_mutex> l(m.mutex);
        m.handler(1).status = STATUS_DISCONNECTED;
        m.nextHandler = 7;
    }
    run({
        {"connect through the dialog",
         "GW_CONNECT type=gui gateUID={AB-12} host=radio.example.org nick=Gate^s1 "
         "SndIn=Radio^sIn SndOut=Radio^sOut ident=Id1 channel=Main^cLobby servPass=sp chanPass=cp",
         {"requestServerVariables(1)",
          "guiConnect(2,GATEWAY-TAB,radio.example.org,sp,Gate 1,Main/Lobby,cp,Radio In,Radio Out,,,Id1,,Relaydeck)"},
         "GW_CONNECT gateUID={AB-12} scHandler=7\r"},
        {"connect a bookmark",
         "GW_CONNECT type=bookmark gateUID={CD} bookUID=b-123",
         {"requestServerVariables(1)", "guiConnectBookmark(2,b-123)"},
         "GW_CONNECT gateUID={CD} scHandler=8\r"},
        {"short bookmark uid takes the dialog path",
         "GW_CONNECT type=bookmark gateUID={EF} bookUID=abc",
         {"requestServerVariables(1)", "guiConnect(2,GATEWAY-TAB,,,,,,,,,,,,Relaydeck)"},
         "GW_CONNECT gateUID={EF} scHandler=9\r"},
        {"8-bit channel name becomes UTF-8",
         "GW_CONNECT type=gui gateUID={GH} channel=K\xFC"
         "che",
         {"requestServerVariables(1)", "guiConnect(2,GATEWAY-TAB,,,,K\xC3\xBC"
                                       "che,,,,,,,,Relaydeck)"},
         "GW_CONNECT gateUID={GH} scHandler=10\r"},
        {"gateway start", "GW_START gateUID={AB-12}", {}, "GW_START gateUID={AB-12} scHandler=0\r"},
    });
    auto e = plugin->entry(7);
    EXPECT_TRUE(e->isGateway && e->isConnected);
    EXPECT_EQ(e->lastPingTime, int32_t(now.load()));

    fake::model().failing = {"guiConnect"};
    run({{"connect fails",
          "GW_CONNECT type=gui gateUID={XY}",
          {"requestServerVariables(1)", "guiConnect(2,GATEWAY-TAB,,,,,,,,,,,,Relaydeck)"},
          "GW_ERROR gateUID={XY} errorCode=1\r"}});
    fake::model().failing.clear();

    run({
        {"stop a live connection",
         "GW_STOP scHandler=7 gateUID={AB-12}",
         {"stopConnection(7,*** Relaydeck / QRT ***)"},
         "GW_STOP gateUID={AB-12} scHandler=-1\r"},
        {"stop a dead connection still answers",
         "GW_STOP scHandler=7 gateUID={AB-12}",
         {},
         "GW_STOP gateUID={AB-12} scHandler=-1\r"},
        {"stop without uid", "GW_STOP scHandler=8", {}, ""},
        {"stop of an unknown handler", "GW_STOP scHandler=99 gateUID={AB-12}", {}, ""},
    });
    EXPECT_FALSE(plugin->entry(7)->isGateway);
}

TEST_F(Commands, GatewayKeepAlive)
{
    now = 1700000100;
    run({{"alive",
          "GW_PQNG scHandler=3 timestamp=1 err=0",
          {"sendPluginCommand(3,rdtest,GATE_PING fromID=10 timestamp=1700000100,1,NULL,rc)"},
          ""}});
    EXPECT_EQ(plugin->entry(3)->lastPingTime, 1700000100);

    {
        std::lock_guard<std::recursive_mutex> l(fake::model().mutex);
        fake::model().handler(3).status = STATUS_CONNECTING;
    }
    run({{"not established",
          "GW_PQNG scHandler=3 timestamp=1 err=0",
          {"sendPluginCommand(3,rdtest,GATE_PING fromID=10 timestamp=1700000100,1,NULL,rc)"},
          "CONNECT scHandler=3 status=0 error=0\r"}});
    EXPECT_FALSE(plugin->entry(3)->isConnected);
    EXPECT_EQ(plugin->entry(3)->ownClientID, 0);

    fake::model().failing = {"getConnectionStatus"};
    run({{"status unreadable",
          "GW_PQNG scHandler=3 timestamp=1 err=0",
          {"sendPluginCommand(3,rdtest,GATE_PING fromID=0 timestamp=1700000100,1,NULL,rc)"},
          "CONNECT scHandler=3 status=0 error=0 cmd=RESET_CONNECTION\r"},
         {"handler 0", "GW_PQNG scHandler=0 timestamp=1 err=0", {}, ""}});
}

TEST_F(Commands, Profiles)
{
    {
        auto& m = fake::model();
        std::lock_guard<std::recursive_mutex> l(m.mutex);
        m.profiles[0] = {"Default", "Radio 1|2"};
        m.profileDefault[0] = 1;
        m.profiles[1] = {"Speakers"};
        m.profiles[4] = {"Gate ID"};
        m.bookmarks = {{"Home Net", "u-1", false, {}},
                       {"Folder", "", true, {{"Inner", "u-9", false, {}}}},
                       {"Club/Net", "u-2", false, {}}};
    }
    EXPECT_EQ(exchange("GETPROFILES "), "PROFILES type=0 default=1 items=Default|Radio^s1^p2\r"
                                        "PROFILES type=1 default=0 items=Speakers\r"
                                        "PROFILES type=4 default=0 items=Gate^sID\r"
                                        "PROFILES type=10 count=3 items=Home^sNet|Club^cNet uids=u-1|u-2\r");
    {
        auto& m = fake::model();
        std::lock_guard<std::recursive_mutex> l(m.mutex);
        EXPECT_EQ(m.outstanding, 0) << "every block the client handed out is given back";
        m.bookmarks.clear();
        m.profiles.erase(1);
    }
    EXPECT_EQ(exchange("GETPROFILES "), "PROFILES type=0 default=1 items=Default|Radio^s1^p2\r"
                                        "PROFILES type=4 default=0 items=Gate^sID\r");
}

TEST_F(Commands, ExitClientStopsConnectionsThenQuitsAndEndsTheProcess)
{
    fake::model().clearCalls();
    testutil::sendAll(fd, "EXITCLIENT \r\r\n");
    EXPECT_EQ(testutil::readUntil(fd, "QUIT errorID=0 \r"), "QUIT errorID=0 \r");
    exchange();
    EXPECT_EQ(fake::model().actions(), V{"stopConnection(3,*** QRT ***)"});
    EXPECT_EQ(slept.load(), 4000);
    EXPECT_EQ(exitCode.load(), 0);
    EXPECT_FALSE(plugin->entry(3)->isGateway);
}
