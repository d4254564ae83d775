// The commands of a connected gateway, family by family, through the substitute client:
// the client calls of the session thread (names, arguments, order; "RC" is a fresh return
// code), the reply bytes, the event lines that follow and what the client ends up with.
#include <algorithm>
#include <cstdint>

#include "plugin/e2e/link_session.h"

namespace {

using clientsim::u64;
using V = std::vector<std::string>;

const std::string kRc = "createReturnCode(\"Relaydeck_Link\", <out>, 128)";

struct Row {
    const char* name;
    std::string line;
    V calls;
    std::string reply;
    V events;
};

class GatewayCommands : public e2e::LinkSession {
protected:
    void buildWorld() override
    {
        LinkSession::buildWorld();
        client.addChannel("S1", 5, "Vault", 1, "pw");
        clientsim::UserSpec alice;
        alice.id = 7;
        alice.nickname = "Alice";
        alice.uid = "alice-uid=";
        alice.databaseId = 4711;
        alice.channel = 2;
        client.userJoin("S1", alice);
        client.userJoin("S1", 8, "Bob", 2);
        client.userJoin("S1", 9, "Carl", 3);
        client.addChannelPermission("S1", 2, {12, 75, 0, 0});
        client.addChannelPermission("S1", 2, {34, -1, 1, 1});
        client.addClientPermission("S1", 4711, {56, 20, 0, 1});
    }

    void SetUp() override
    {
        LinkSession::SetUp();
        if (HasFatalFailure())
            return;
        gw = openGateway("{G1}", "Gate");
        ASSERT_EQ(gw.h, 1u);
        ASSERT_EQ(gw.own, 1u);
        // A connection the user opened in the client: not a gateway.
        human = client.connect("radio.example.org", "Human");
        ASSERT_TRUE(client.waitIdle());
        sentinel();
    }

    void check(const std::vector<Row>& rows)
    {
        for (const Row& r : rows) {
            SCOPED_TRACE(r.name);
            const e2e::Outcome o = run(r.line);
            EXPECT_EQ(o.calls, r.calls);
            EXPECT_EQ(o.reply, r.reply);
            EXPECT_EQ(o.events, r.events);
        }
    }

    static std::string pre(const std::string& ident, const std::string& value)
    {
        return "setPreProcessorConfigValue(1, \"" + ident + "\", \"" + value + "\")";
    }
    static std::string selfInt(int flag, int value)
    {
        return "setClientSelfVariableAsInt(1, " + std::to_string(flag) + ", " + std::to_string(value) + ")";
    }
    static V flush() { return {kRc, "flushClientSelfUpdates(1, RC)"}; }
    static V cat(std::initializer_list<V> parts)
    {
        V out;
        for (const V& p : parts)
            out.insert(out.end(), p.begin(), p.end());
        return out;
    }
    static std::string selfvar(int flag, const std::string& from, const std::string& to)
    {
        return "SELFVAR scHandler=1 flag=" + std::to_string(flag) + " oldValue=" + from + " newValue=" + to + " \r";
    }

    Gateway gw;
    u64 human = 0;
};

TEST_F(GatewayCommands, OwnClientSettings)
{
    const V mic = {pre("vad", "false"), pre("denoise", "false"), pre("agc", "false"), pre("echo_canceling", "false")};
    check({
        {"ptt on opens the microphone path",
         "SETPTT scHandler=1 status=1",
         cat({mic, {selfInt(10, 0)}, flush()}),
         "",
         {selfvar(10, "1", "0")}},
        // Nothing changes for the client, so its flush has nothing to report.
        {"ptt status 2 opens like 1", "SETPTT scHandler=1 status=2", cat({mic, {selfInt(10, 0)}, flush()}), "", {}},
        {"ptt off", "SETPTT scHandler=1 status=0", cat({mic, {selfInt(10, 1)}, flush()}), "", {selfvar(10, "0", "1")}},
        {"vox on",
         "SETVOX scHandler=1 status=1 level=-20",
         cat({{pre("denoise", "false"), pre("agc", "false"), pre("echo_canceling", "false"), selfInt(10, 0),
               pre("vad", "true"), pre("voiceactivation_level", "-20")},
              flush()}),
         "",
         {selfvar(10, "1", "0")}},
        {"vox off",
         "SETVOX scHandler=1 status=0",
         cat({{selfInt(10, 1)}, flush(), {pre("vad", "false")}}),
         "",
         {selfvar(10, "0", "1")}},
        {"vox on without level", "SETVOX scHandler=1 status=1", {}, "", {}},
        {"vox other status", "SETVOX scHandler=1 status=3 level=5", {}, "", {}},
        {"nick cut to 64 bytes",
         "SETNICK scHandler=1 nickname=" + std::string(70, 'n'),
         cat({{"setClientSelfVariableAsString(1, 1, \"" + std::string(64, 'n') + "\")"}, flush()}),
         "",
         {selfvar(1, "Gate", std::string(64, 'n'))}},
        {"nick unescaped",
         "SETNICK scHandler=1 nickname=Relay^s1",
         cat({{"setClientSelfVariableAsString(1, 1, \"Relay 1\")"}, flush()}),
         "",
         {selfvar(1, std::string(64, 'n'), "Relay^s1")}},
        {"channel commander",
         "SETCHCOM scHandler=1 status=1",
         cat({{selfInt(57, 1)}, flush()}),
         "",
         {selfvar(57, "0", "1")}},
        {"away", "SETAFK scHandler=1 status=1", cat({{selfInt(38, 1)}, flush()}), "", {selfvar(38, "0", "1")}},
        {"input muted", "SETRUHE scHandler=1 status=1", cat({{selfInt(5, 1)}, flush()}), "", {selfvar(5, "0", "1")}},
        {"output muted", "SETMUTE scHandler=1 status=1", cat({{selfInt(6, 1)}, flush()}), "", {selfvar(6, "0", "1")}},
        {"info cut to 255 bytes, meta data then description",
         "SETINFO scHandler=1 text=" + std::string(300, 'i'),
         cat({{"setClientSelfVariableAsString(1, 15, \"" + std::string(255, 'i') + "\")"},
              flush(),
              {kRc, "requestClientEditDescription(1, 1, \"" + std::string(255, 'i') + "\", RC)"},
              flush()}),
         "",
         {selfvar(15, "", std::string(255, 'i'))}},
        // SETINFO is tried on any handler; an unknown one stops at the first refusal.
        {"info on an unknown handler",
         "SETINFO scHandler=42 text=Hello",
         {"setClientSelfVariableAsString(42, 15, \"Hello\")"},
         "",
         {}},
    });
    EXPECT_EQ(client.model().selfVariable(1, 1), "Relay 1");
    EXPECT_EQ(client.model().selfVariable(1, 38), "1");
    EXPECT_EQ(client.model().preProcessor(1, "vad"), "false");
    EXPECT_EQ(client.model().preProcessor(1, "voiceactivation_level"), "-20");
    EXPECT_EQ(client.model().userVariable("S1", 1, 45), std::string(255, 'i'));

    // A setting the client refuses is not flushed.
    client.failNext("setClientSelfVariableAsInt", ERROR_parameter_invalid);
    const e2e::Outcome o = run("SETAFK scHandler=1 status=0");
    EXPECT_EQ(o.calls, V{selfInt(38, 0)});
    EXPECT_EQ(o.events, V{});
    EXPECT_EQ(client.model().selfVariable(1, 38), "1");
}

TEST_F(GatewayCommands, MovesToAChannelAndBack)
{
    auto moved = [](int from, int to, int users, const std::string& name) {
        return "MOVED scHandler=1 fromCH=" + std::to_string(from) + " toCH=" + std::to_string(to) +
               " visible=1 users=" + std::to_string(users) +
               " moverID=0 moverUID=0 moverName=0 moveMSG= channelName=" + name + " \r";
    };
    auto move = [](int to, const std::string& pwd) {
        return V{kRc, "requestClientMove(1, 1, " + std::to_string(to) + ", \"" + pwd + "\", RC)"};
    };
    check({
        {"move to the own channel",
         "MOVETOCHAN scHandler=1 chanID=2 chanPWD=",
         {},
         "GW_ERROR scHandler=1 errorCode=101\r",
         {}},
        {"back without an earlier channel",
         "BACKTOCHAN scHandler=1 chanPWD=",
         {},
         "GW_ERROR scHandler=1 errorCode=102\r",
         {}},
        {"move", "MOVETOCHAN scHandler=1 chanID=3 chanPWD=", move(3, ""), "", {moved(2, 3, 1, "Ops")}},
        {"back", "BACKTOCHAN scHandler=1 chanPWD=", move(2, ""), "", {moved(3, 2, 3, "Lobby")}},
        {"back again goes forth", "BACKTOCHAN scHandler=1 chanPWD=", move(3, ""), "", {moved(2, 3, 1, "Ops")}},
        // The password goes to the client as received; the server's refusal comes back as
        // ERRORMSG with the request's return code.
        {"wrong channel password",
         "MOVETOCHAN scHandler=1 chanID=5 chanPWD=nope",
         move(5, "nope"),
         "",
         {"ERRORMSG scHandler=1 error=1538 errorMSG=invalid^sparameter returnCode=RC "
          "extraMSG=invalid^schannel^spassword "
          "\r"}},
        {"right channel password",
         "MOVETOCHAN scHandler=1 chanID=5 chanPWD=pw",
         move(5, "pw"),
         "",
         {moved(3, 5, 0, "Vault")}},
    });
    EXPECT_EQ(client.model().ownChannel(1), 5u);
}

TEST_F(GatewayCommands, MessagesAndPluginCommands)
{
    check({
        {"poke of 5 bytes", "POKEUSER scHandler=1 userID=7 message=Hallo", {}, "", {}},
        {"poke",
         "POKEUSER scHandler=1 userID=7 message=Hello^sthere!",
         {kRc, "requestClientPoke(1, 7, \"Hello there!\", RC)"},
         "",
         {}},
        {"private message of 10 bytes", "MSGTOUSER scHandler=1 userID=7 message=0123456789", {}, "", {}},
        {"private message of 11 bytes",
         "MSGTOUSER scHandler=1 userID=7 message=0123456789A",
         {kRc, "requestSendPrivateTextMsg(1, \"0123456789A\", 7, RC)"},
         "",
         {}},
        {"channel message of 10 bytes", "MSGTOCHAN scHandler=1 message=0123456789", {}, "", {}},
        {"channel message",
         "MSGTOCHAN scHandler=1 message=Channel^snews",
         {kRc, "requestSendChannelTextMsg(1, \"Channel news\", 2, RC)"},
         "",
         {}},
        {"gate message with a 3-byte cmd", "MSGTOGATES scHandler=1 cmd=ABC x=1", {}, "", {}},
        // Keys in ascending byte order ("B" < "a"), values as received; the sender's own copy
        // (its own fromID) is not forwarded.
        {"gate message",
         "MSGTOGATES scHandler=1 cmd=GATE_PONG timestamp=1700000000 zeta=z alpha=a^sb Beta=B",
         {kRc, "sendPluginCommand(1, \"Relaydeck_Link\", \"GATE_PONG fromID=1 Beta=B alpha=a^sb timestamp=1700000000 "
               "zeta=z\", 1, NULL, RC)"},
         "",
         {}},
    });
    // The server hands the gateway its own messages back; they are hidden from the client's
    // chat and not forwarded; so is the request's "ok" (error 0) answer.
    const e2e::Outcome o = run("MSGTOUSER scHandler=1 userID=1 message=Note^sto^sself");
    EXPECT_EQ(o.results, (V{"onTextMessageEvent = 1", "onServerErrorEvent = 1"}));
    EXPECT_EQ(o.events, V{});
}

TEST_F(GatewayCommands, PermissionLists)
{
    check({
        {"channel permissions of the own channel",
         "GETCHANPERM scHandler=1",
         {kRc, "requestChannelPermList(1, 2, RC)"},
         "",
         {"CHPERM scHandler=1 chID=2 permID=12 permValue=75 permNega=0 permSkip=0 \r",
          "CHPERM scHandler=1 chID=2 permID=34 permValue=-1 permNega=1 permSkip=1 \r"}},
        {"client permissions through the database id",
         "GETUSERPERM scHandler=1 userID=7",
         {"getClientVariableAsString(1, 7, 0, <out>)", "freeMemory(<out>)", kRc,
          "requestClientDBIDfromUID(1, \"alice-uid=\", RC)"},
         "",
         {"CLIENTPERM scHandler=1 userDBID=4711 permID=56 permValue=20 permNega=0 permSkip=1 \r"}},
        {"client unknown", "GETUSERPERM scHandler=1 userID=55", {"getClientVariableAsString(1, 55, 0, <out>)"}, "", {}},
    });
    // The second step runs in the client's callback with a fresh return code.
    const e2e::Outcome o = run("GETUSERPERM scHandler=1 userID=7");
    EXPECT_EQ(o.eventCalls, (V{kRc, "requestClientPermList(1, 4711, RC)"}));
}

TEST_F(GatewayCommands, ClientMutesAndVolumes)
{
    check({
        {"mute", "MUTECLIENT scHandler=1 userID=7", {kRc, "requestMuteClients(1, [7], RC)"}, "", {}},
        {"unmute", "UNMUTECLIENT scHandler=1 userID=7", {kRc, "requestUnmuteClients(1, [7], RC)"}, "", {}},
        {"client volume",
         "SETCLIENTVOLUME scHandler=1 userID=7 level=0.5 block=0",
         {"setClientVolumeModifier(1, 7, 0.5)"},
         "",
         {}},
        {"client volume blocked mutes",
         "SETCLIENTVOLUME scHandler=1 userID=8 level=0.5 block=1",
         {kRc, "requestMuteClients(1, [8], RC)"},
         "",
         {}},
        {"voice volume",
         "SETVOICEVOLUME scHandler=1 userID=7 level=-3.5 general=2 block=0",
         {"setClientVolumeModifier(1, 7, -3.5)", "setPlaybackConfigValue(1, \"volume_modifier\", \"2\")"},
         "",
         {}},
    });
    EXPECT_TRUE(client.model().isMuted(1, 8));
    EXPECT_FALSE(client.model().isMuted(1, 7));
    EXPECT_EQ(client.model().volumeModifier(1, 7), -3.5f);
    EXPECT_EQ(client.model().playbackConfig(1, "volume_modifier"), "2");

    const e2e::Outcome o = run("UNMUTEALL scHandler=1");
    ASSERT_EQ(o.calls.size(), 4u);
    EXPECT_EQ(o.calls[0], "getChannelClientList(1, 2, <out>)");
    EXPECT_EQ(o.calls[3], "requestUnmuteClients(1, [1,2,7,8], RC)");
    EXPECT_FALSE(client.model().isMuted(1, 8));
}

TEST_F(GatewayCommands, ChannelsPathsAndSpeakers)
{
    auto name = [](int ch) {
        return V{"getChannelVariableAsString(1, " + std::to_string(ch) + ", 0, <out>)", "freeMemory(<out>)"};
    };
    auto parent = [](int ch) { return "getParentChannelOfChannel(1, " + std::to_string(ch) + ", <out>)"; };
    check({
        {"channel name",
         "GETCHANNELS scHandler=1 chID=3 type=info",
         name(3),
         "CHANNELS scHandler=1 type=info chID=3 chName=Ops\r",
         {}},
        {"unknown channel",
         "GETCHANNELS scHandler=1 chID=99 type=info",
         {"getChannelVariableAsString(1, 99, 0, <out>)"},
         "",
         {}},
        {"channel ids in the client's order",
         "GETCHANNELS scHandler=1 type=ids",
         {"getChannelList(1, <out>)", "freeMemory(<out>)"},
         "CHANNELS scHandler=1 type=ids ids=1|2|3|5\r",
         {}},
        {"other type", "GETCHANNELS scHandler=1 type=all", {}, "", {}},
        {"path of the own channel",
         "GETCHANPATH scHandler=1 channel=0 save=1",
         cat({name(2), {parent(2)}, name(1), {parent(1)}}),
         "CHANNELPATH scHandler=1 path=Main^cLobby channelID=2 save=1\r",
         {}},
        {"path of a given channel",
         "GETCHANPATH scHandler=1 channel=3 save=xy",
         cat({name(3), {parent(3)}, name(1), {parent(1)}}),
         "CHANNELPATH scHandler=1 path=Main^cOps channelID=3 save=xy\r",
         {}},
        {"path of an unknown channel",
         "GETCHANPATH scHandler=1 channel=99 save=1",
         {"getChannelVariableAsString(1, 99, 0, <out>)"},
         "ERROR scHandler=1 error=99\r",
         {}},
        {"nobody talks",
         "GETSPEAKER scHandler=1",
         {"getChannelClientList(1, 2, <out>)", "getClientVariableAsInt(1, 2, 4, <out>)",
          "getClientVariableAsInt(1, 7, 4, <out>)", "getClientVariableAsInt(1, 8, 4, <out>)", "freeMemory(<out>)"},
         "SPEAKERS scHandler=1 speakers=0 users=3 status=0 \r",
         {}},
    });

    // Talkers of the own channel are counted; the own client is not.
    client.userTalk("S1", 7, 1);
    ASSERT_TRUE(client.waitIdle());
    sentinel();
    e2e::Outcome o = run("GETSPEAKER scHandler=1");
    EXPECT_EQ(o.reply, "SPEAKERS scHandler=1 speakers=1 users=3 status=1 \r");
    EXPECT_EQ(o.calls.front(), "getChannelClientList(1, 2, <out>)");

    // A deep tree: at most 19 names, from the 19th level above down to the start.
    for (int i = 0; i < 25; ++i)
        client.addChannel("S1", 100 + i, "L" + std::to_string(i), i == 0 ? 0 : 99 + i);
    ASSERT_TRUE(client.waitIdle());
    o = run("GETCHANPATH scHandler=1 channel=124 save=0");
    std::string path;
    for (int i = 6; i < 25; ++i)
        path += (i > 6 ? "^cL" : "L") + std::to_string(i);
    EXPECT_EQ(o.reply, "CHANNELPATH scHandler=1 path=" + path + " channelID=124 save=0\r");

    // Of 200 and more channels the first 151 ids are listed.
    for (int i = 0; i < 200; ++i)
        client.addChannel("S1", 1000 + i, "C" + std::to_string(i), 1);
    ASSERT_TRUE(client.waitIdle());
    sentinel();
    o = run("GETCHANNELS scHandler=1 type=ids");
    std::vector<int> all = {1, 2, 3, 5};
    for (int i = 0; i < 25; ++i)
        all.push_back(100 + i);
    for (int i = 0; i < 200; ++i)
        all.push_back(1000 + i);
    std::string ids;
    for (size_t i = 0; i < 151; ++i)
        ids += (i ? "|" : "") + std::to_string(all[i]);
    EXPECT_EQ(o.reply, "CHANNELS scHandler=1 type=ids ids=" + ids + "\r");
    EXPECT_EQ(std::count(o.reply.begin(), o.reply.end(), '|'), 150);
}

TEST_F(GatewayCommands, WavePlayback)
{
    const std::string wave = (dir / "roger beep.wav").string();
    {
        // A minimal RIFF/WAVE file: 16-bit mono 8 kHz, no samples.
        const unsigned char header[44] = {'R', 'I', 'F', 'F', 36, 0, 0,   0,   'W', 'A',  'V',  'E', 'f', 'm',  't',
                                          ' ', 16,  0,   0,   0,  1, 0,   1,   0,   0x40, 0x1F, 0,   0,   0x80, 0x3E,
                                          0,   0,   2,   0,   16, 0, 'd', 'a', 't', 'a',  0,    0,   0,   0};
        std::ofstream(wave, std::ios::binary).write(reinterpret_cast<const char*>(header), sizeof header);
    }
    std::string escaped = wave;
    escaped.replace(escaped.find(' '), 1, "^s");
    check({
        {"wave level",
         "SETWAVELEVEL scHandler=1 level=-5",
         {"setPlaybackConfigValue(1, \"volume_factor_wave\", \"-5\")"},
         "",
         {}},
        {"play",
         "PLAYWAVE scHandler=1 level=-3 len=1500 file=" + escaped,
         {"setPlaybackConfigValue(1, \"volume_factor_wave\", \"-3\")", "playWaveFile(1, \"" + wave + "\")"},
         "WAVEPLAYER scHandler=1 status=1 len=1500 error=0\r",
         {}},
        {"play a file the client cannot play",
         "PLAYWAVE scHandler=1 level=-3 len=1500 file=/nonexistent/x.wav",
         {"setPlaybackConfigValue(1, \"volume_factor_wave\", \"-3\")", "playWaveFile(1, \"/nonexistent/x.wav\")"},
         "WAVEPLAYER scHandler=1 status=0 len=0 error=100\r",
         {}},
    });
    const auto waves = client.model().waves();
    ASSERT_EQ(waves.size(), 1u);
    EXPECT_EQ(waves[0].handler, 1u);
    EXPECT_EQ(waves[0].path, wave);
    EXPECT_EQ(client.model().playbackConfig(1, "volume_factor_wave"), "-3");
}

TEST_F(GatewayCommands, ProfilesAndBookmarks)
{
    // Without bookmarks: three lines (capture, playback, identity) and no type 10 line.
    e2e::Outcome o = run("GETPROFILES ");
    EXPECT_EQ(o.reply, "PROFILES type=0 default=0 items=Default\rPROFILES type=1 default=0 items=Default\r"
                       "PROFILES type=4 default=0 items=Default\r");
    const V one = {"freeMemory(<out>)", "freeMemory(<out>)"}; // the name, then the list
    EXPECT_EQ(o.calls, cat({{"getProfileList(0, <out>, <out>)"},
                            one,
                            {"getProfileList(1, <out>, <out>)"},
                            one,
                            {"getProfileList(4, <out>, <out>)"},
                            one,
                            {"getBookmarkList(<out>)", "freeMemory(<out>)"}}));

    client.addProfile(0, "Mic A");
    client.addProfile(0, "USB|Radio 1", true);
    client.addProfile(4, "Gate Id");
    clientsim::Bookmark b;
    b.name = "Net 1";
    b.uuid = "bm-1";
    b.address = "radio.example.org";
    client.addBookmark("", b);
    b.name = "Inner";
    b.uuid = "bm-in";
    client.addBookmark("Club", b); // a folder: counted, not listed
    b.name = "Other Net";
    b.uuid = "bm 2";
    client.addBookmark("", b);
    // The capture list cannot be read this time: its line is left out.
    client.failNext("getProfileList", ERROR_not_connected);
    o = run("GETPROFILES ");
    EXPECT_EQ(o.reply, "PROFILES type=1 default=0 items=Default\rPROFILES type=4 default=0 items=Gate^sId\r"
                       "PROFILES type=10 count=3 items=Net^s1|Other^sNet uids=bm-1|bm^s2\r");
    EXPECT_EQ(client.outstandingBlocks(), 0u);
    EXPECT_EQ(client.invalidFrees(), 0u);
    client.failNext("getProfileList", ERROR_not_connected, 2);
    o = run("GETPROFILES ");
    EXPECT_EQ(o.reply, "PROFILES type=4 default=0 items=Gate^sId\r"
                       "PROFILES type=10 count=3 items=Net^s1|Other^sNet uids=bm-1|bm^s2\r");
    o = run("GETPROFILES ");
    EXPECT_EQ(o.reply.substr(0, o.reply.find('\r') + 1), "PROFILES type=0 default=1 items=Mic^sA|USB^pRadio^s1\r");
    EXPECT_EQ(client.outstandingBlocks(), 0u);
}

TEST_F(GatewayCommands, ClientPathDeviceTestAndTestConnection)
{
    check({
        {"application path", "GETAPPPATH ", {}, "APPPATH  path=^copt^cteamspeak3^c\r", {}},
        {"custom capture device",
         "SENDTOTS scHandler=1",
         {"registerCustomDevice(\"TEST111\", \"RelaydeckDevice\", 44100, 1, 44100, 1)",
          "openCaptureDevice(1, \"\", \"TEST111\")", "processCustomCaptureData(\"TEST111\", NULL, 0)"},
         "",
         {}},
        {"test connection",
         "AC_START ",
         {"startConnection(1, \"\", \"test.relaydeck.invalid\", 0, \"TEST\", NULL, \"\", \"\")"},
         "",
         {}},
        {"test connection stop", "AC_STOP ", {}, "", {}},
        {"unknown word", "GETBOOKMARKS scHandler=1", {}, "", {}},
    });
}

// SETINFO, GETCHANNELS and GETSPEAKER serve any handler: the plugin follows the own client
// and channel of connections that are no gateway as well.
TEST_F(GatewayCommands, CommandsForAnyHandlerServeOtherConnections)
{
    ASSERT_EQ(human, 2u);
    check({
        {"info",
         "SETINFO scHandler=2 text=Human^sinfo",
         {"setClientSelfVariableAsString(2, 15, \"Human info\")", kRc, "flushClientSelfUpdates(2, RC)", kRc,
          "requestClientEditDescription(2, 2, \"Human info\", RC)", kRc, "flushClientSelfUpdates(2, RC)"},
         "",
         {}},
        {"channel name",
         "GETCHANNELS scHandler=2 chID=2 type=info",
         {"getChannelVariableAsString(2, 2, 0, <out>)", "freeMemory(<out>)"},
         "CHANNELS scHandler=2 type=info chID=2 chName=Lobby\r",
         {}},
        {"speakers of its channel, itself left out",
         "GETSPEAKER scHandler=2",
         {"getChannelClientList(2, 2, <out>)", "getClientVariableAsInt(2, 1, 4, <out>)",
          "getClientVariableAsInt(2, 7, 4, <out>)", "getClientVariableAsInt(2, 8, 4, <out>)", "freeMemory(<out>)"},
         "SPEAKERS scHandler=2 speakers=0 users=3 status=0 \r",
         {}},
    });
    EXPECT_EQ(client.model().userVariable("S1", 2, 45), "Human info");
}

// A connection the user opened in the client is no gateway: every command that needs
// one does nothing at all, handler 0 included.
TEST_F(GatewayCommands, HandlersThatAreNoGatewayGetNothing)
{
    ASSERT_EQ(human, 2u);
    ASSERT_EQ(client.model().connectionStatus(human), 4);
    for (const std::string h : {"2", "0", "-1", "77"}) {
        for (const std::string cmd : {"SETPTT status=1",
                                      "SETVOX status=1 level=-20",
                                      "SETNICK nickname=Nobody",
                                      "SETCHCOM status=1",
                                      "SETAFK status=1",
                                      "SETRUHE status=1",
                                      "SETMUTE status=1",
                                      "MOVETOCHAN chanID=3 chanPWD=",
                                      "BACKTOCHAN chanPWD=",
                                      "POKEUSER userID=7 message=Hello^sthere!",
                                      "MSGTOUSER userID=7 message=Hello^sthere!",
                                      "MSGTOCHAN message=Hello^sthere!",
                                      "MSGTOGATES cmd=GATE_PONG timestamp=1",
                                      "GETCHANPERM x=1",
                                      "GETUSERPERM userID=7",
                                      "MUTECLIENT userID=7",
                                      "UNMUTECLIENT userID=7",
                                      "SETCLIENTVOLUME userID=7 level=0.5 block=0",
                                      "SETVOICEVOLUME userID=7 level=0.5 general=1 block=0",
                                      "UNMUTEALL x=1",
                                      "GETCHANPATH channel=0 save=1",
                                      "SETWAVELEVEL level=-5",
                                      "PLAYWAVE level=-3 len=1 file=/tmp/x.wav"}) {
            const std::string word = cmd.substr(0, cmd.find(' '));
            const std::string line = word + " scHandler=" + h + cmd.substr(word.size());
            SCOPED_TRACE(line);
            const e2e::Outcome o = run(line);
            EXPECT_EQ(o.calls, V{});
            EXPECT_EQ(o.reply, "");
            EXPECT_EQ(o.events, V{});
        }
    }
    EXPECT_EQ(client.model().selfVariable(human, 38), "0");
}

} // namespace
