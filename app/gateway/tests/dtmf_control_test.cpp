// DTMF remote control of a gateway, driven with a stepped 250 ms tick. Digits are handed
// in directly (as the main thread receives them) or through the input's queue; one test
// feeds a generated DTMF recording through the file capture source into a gateway.
#include "app/gateway/tests/signals_fixture.h"

#include "app/audio/signalgen.h"
#include "app/audio/sounddevices.h"
#include "link/qt/linkqt.h"

#include <thread>

namespace {

class DtmfTest : public SignalsTest {
public:
    void SetUp() override
    {
        SignalsTest::SetUp();
        set({{"DTMF-ON", QStringLiteral("True")},
             {"DTMF-INPUT-DEVICE", QStringLiteral("1")},
             {"DTMF-RESET-TIME", QStringLiteral("2")},
             {"DTMF-AKTIV-TIME", QStringLiteral("10")},
             {"DTMF-PROC-DELAY", QStringLiteral("5")},
             {"DTMF-INFO-ON", QStringLiteral("True")},
             {"HF-TX-DELAY", QStringLiteral("1")},
             {"HF-WAVE-VORLAUF", QStringLiteral("1")}});
        offline = makeWave(QStringLiteral("sound/en_US/S0003.wav"), 700);
        online = makeWave(QStringLiteral("sound/en_US/S0004.wav"), 900);
    }

    // The TeamSpeak client reports its playback mute, as it does after SETMUTE.
    void muteFlag(const char* value)
    {
        const QByteArray v = QByteArray("newValue=") + value;
        line("SELFVAR", {"scHandler=3", "flag=6", v.constData()});
    }

    QStringList mutes() { return sent(QStringLiteral("SETMUTE")); }

    QString offline;
    QString online;
};

const QString kMuteOn = QStringLiteral("SETMUTE scHandler=3 status=1");
const QString kMuteOff = QStringLiteral("SETMUTE scHandler=3 status=0");

} // namespace

TEST_F(DtmfTest, SetUpOpensTheCaptureAndShowsTheState)
{
    open();
    EXPECT_EQ(captureDevices, QList<int>{1});
    EXPECT_TRUE(engine->dtmfRunning());
    EXPECT_EQ(engine->display().dtmfLine,
              GetText(QStringLiteral("0111")) + QLatin1Char(' ') + GetText(QStringLiteral("0123")));
    EXPECT_EQ(engine->display().dtmfLamp1.color, GwColor::Green);
    EXPECT_EQ(engine->display().dtmfLamp2.color, GwColor::DarkRed);

    // A capture that does not open, DTMF switched off, or no device: no DTMF, shown as off.
    const QString off = GetText(QStringLiteral("0111")) + QLatin1Char(' ') + GetText(QStringLiteral("0122"));
    struct Case {
        const char* on;
        const char* device;
        bool opens;
    };
    for (const Case& c :
         {Case{"True", "1", false}, Case{"False", "1", true}, Case{"True", "-1", true}, Case{"True", "x", true}}) {
        SCOPED_TRACE(std::string(c.on) + " " + c.device);
        captureDevices.clear();
        captureOpens = c.opens;
        set({{"DTMF-ON", QLatin1String(c.on)}, {"DTMF-INPUT-DEVICE", QLatin1String(c.device)}});
        open();
        EXPECT_FALSE(engine->dtmfRunning());
        EXPECT_EQ(engine->display().dtmfLine, off);
        EXPECT_EQ(captureDevices.size(), c.opens ? 0 : 1);
    }
}

TEST_F(DtmfTest, InformationCommandWhileConnectedMutesThenPlaysTheOnlineMessage)
{
    open();
    connect(3);
    keys("#");
    EXPECT_EQ(mutes(), QStringList{kMuteOn});
    EXPECT_TRUE(engine->dtmf().DTMF_AKTIV);
    EXPECT_EQ(engine->display().dtmfLamp1.color, GwColor::BrightGreen);
    muteFlag("1");
    keys("0102*");
    EXPECT_EQ(engine->dtmf().DTMF_DCODE, QStringLiteral("#0102*"));
    EXPECT_EQ(engine->display().dtmfLine, QStringLiteral("#0102*"));
    EXPECT_EQ(engine->display().dtmfColor, GwColor::Navy);
    ASSERT_FALSE(engine->log().isEmpty());
    EXPECT_TRUE(engine->log().last().text.endsWith(QStringLiteral("] > DTMF: #0102*")));
    EXPECT_EQ(engine->log().last().color, GwColor::Navy);

    // Window after "*": reset + 1 = 3 ticks, closed on the 4th; the command on the 6th.
    dtmfTicks(3);
    EXPECT_TRUE(mutes().isEmpty());
    dtmfTicks(1);
    EXPECT_EQ(mutes(), QStringList{kMuteOff});
    EXPECT_FALSE(engine->dtmf().DTMF_AKTIV);
    EXPECT_EQ(engine->display().dtmfLine,
              GetText(QStringLiteral("0111")) + QLatin1Char(' ') + GetText(QStringLiteral("0123")));
    muteFlag("0");
    dtmfTicks(1);
    EXPECT_TRUE(sent(QStringLiteral("PLAYWAVE")).isEmpty());
    dtmfTicks(1);
    // 9 tenths + TX delay 1 + pre-roll 1.
    EXPECT_EQ(sent(QStringLiteral("PLAYWAVE")), QStringList{QStringLiteral("PLAYWAVE scHandler=3 level=-20 file=") +
                                                            LinkEscape(online) + QStringLiteral(" len=11")});
    EXPECT_TRUE(engine->dtmf().DTMF_DCODE.isEmpty());
    EXPECT_EQ(engine->dtmf().DTMF_DELAY, -1);
    dtmfTicks(20);
    EXPECT_TRUE(link.take().isEmpty());
}

TEST_F(DtmfTest, InformationCommandsPickTheMessageByConnection)
{
    struct Case {
        const char* code;
        bool connected;
        const char* expect; // "online", "offline" or "" (nothing played)
    };
    const Case cases[] = {
        {"#0102*", true, "online"}, {"#0102*", false, "offline"}, {"#0103*", true, ""}, {"#0103*", false, "offline"},
        {"#0101*", false, ""},      {"#01*", false, ""},          {"#012*", false, ""}, {"#0199*", false, ""},
        {"#0302*", false, ""},      {"#0202*", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.code) + (c.connected ? " connected" : " offline"));
        players.played.clear();
        open();
        if (c.connected)
            connect(3);
        keys(c.code);
        dtmfTicks(5);
        EXPECT_TRUE(sent(QStringLiteral("PLAYWAVE")).isEmpty());
        EXPECT_TRUE(players.played.isEmpty());
        dtmfTicks(1);
        const QStringList waves = sent(QStringLiteral("PLAYWAVE"));
        const QString expect = QLatin1String(c.expect);
        if (expect.isEmpty()) {
            EXPECT_TRUE(waves.isEmpty());
            EXPECT_TRUE(players.played.isEmpty());
        } else if (c.connected) {
            ASSERT_EQ(waves.size(), 1);
            EXPECT_TRUE(waves[0].contains(LinkEscape(expect == QLatin1String("online") ? online : offline)));
        } else {
            // Offline the message goes to the local output device.
            EXPECT_EQ(players.played, QStringList{offline + QStringLiteral(" 0 100")});
            EXPECT_TRUE(engine->SPEAKERS.contains(QStringLiteral("HF-WAVE-PLAY")));
        }
        EXPECT_TRUE(engine->dtmf().DTMF_DCODE.isEmpty());
    }
}

TEST_F(DtmfTest, RepeatedDigitCountsOnlyAfterTheRepeatGuard)
{
    open();
    // Keyed without a pause the second "0" falls within the guard.
    keys("#0100*");
    EXPECT_EQ(engine->dtmf().DTMF_DCODE, QStringLiteral("#010*"));
    dtmfTicks(10);

    // Two ticks later the guard still holds (and restarts with the repeated key)...
    keys("#010");
    dtmfTicks(2);
    keys("0");
    EXPECT_EQ(engine->dtmf().DTMF_CODE, QStringLiteral("#010"));
    EXPECT_EQ(engine->display().dtmfLamp2.color, GwColor::Red);
    // ...it runs out on its third tick, and then the same key is taken.
    dtmfTicks(3);
    EXPECT_EQ(engine->display().dtmfLamp2.color, GwColor::DarkRed);
    keys("0*");
    EXPECT_EQ(engine->dtmf().DTMF_DCODE, QStringLiteral("#0100*"));
    dtmfTicks(10);
    EXPECT_TRUE(players.played.isEmpty());
}

TEST_F(DtmfTest, CommandWithoutStarIsDiscardedWhenTheWindowCloses)
{
    open();
    connect(3);
    keys("#010");
    EXPECT_EQ(mutes(), QStringList{kMuteOn});
    muteFlag("1");
    // Each digit re-opens the 10-tick window; a late digit keeps it open.
    dtmfTicks(9);
    keys("2");
    dtmfTicks(10);
    EXPECT_TRUE(mutes().isEmpty());
    EXPECT_EQ(engine->dtmf().DTMF_CODE, QStringLiteral("#0102"));
    dtmfTicks(1);
    EXPECT_EQ(mutes(), QStringList{kMuteOff});
    EXPECT_TRUE(engine->dtmf().DTMF_CODE.isEmpty());
    EXPECT_FALSE(engine->dtmf().DTMF_AKTIV);
    EXPECT_EQ(engine->display().dtmfLamp1.color, GwColor::Green);
    dtmfTicks(20);
    EXPECT_TRUE(sent(QStringLiteral("PLAYWAVE")).isEmpty());
}

TEST_F(DtmfTest, DigitsWithoutHashAreIgnoredAndAnOwnMuteIsLeftAlone)
{
    open();
    connect(3);
    keys("0102*");
    EXPECT_FALSE(engine->dtmf().DTMF_AKTIV);
    EXPECT_TRUE(engine->dtmf().DTMF_CODE.isEmpty());
    dtmfTicks(10);
    EXPECT_TRUE(link.take().isEmpty());

    // The operator muted the playback before: DTMF neither mutes nor unmutes it.
    muteFlag("1");
    keys("#0103*");
    dtmfTicks(10);
    EXPECT_TRUE(mutes().isEmpty());

    // A new "#" in the middle restarts the input.
    muteFlag("0");
    keys("#01#0102*");
    EXPECT_EQ(engine->dtmf().DTMF_DCODE, QStringLiteral("#0102*"));
    EXPECT_EQ(mutes(), QStringList{kMuteOn});
}

TEST_F(DtmfTest, BeaconCommandSendsTheBeaconAndRearmsIt)
{
    const QString bake = makeWave(QStringLiteral("bake.wav"), 400);
    set({{"HF-BAKE-ON", QStringLiteral("True")},
         {"HF-BAKE-FILE", bake},
         {"HF-BAKE-TIME", QStringLiteral("300")},
         {"HF-BAKE-AFTX", QStringLiteral("10")}});
    open();
    connect(3);
    for (int i = 0; i < 4; ++i) { // four overs of the own client towards the count rule
        line("TXVOICE", {"scHandler=3", "status=1"});
        line("TXVOICE", {"scHandler=3", "status=0"});
    }
    ASSERT_EQ(engine->beacon().BAKE_TX_COUNT, 4);
    keys("#0104*");
    dtmfTicks(6);
    const QStringList waves = sent(QStringLiteral("PLAYWAVE"));
    ASSERT_EQ(waves.size(), 1);
    EXPECT_TRUE(waves[0].contains(LinkEscape(bake)));
    EXPECT_EQ(engine->beacon().BAKE_WAIT, 3000);
    EXPECT_EQ(engine->beacon().BAKE_TX_COUNT, 4); // the counts stay
    EXPECT_EQ(engine->display().beaconLine, QStringLiteral("[+] ") + GetText(QStringLiteral("0146")));
}

TEST_F(DtmfTest, FreeMessagesPlayOnlyWhenTheirFileExists)
{
    const QString info = makeWave(QStringLiteral("info.wav"), 300);
    set({{"DTMF-INFO-WAVE", info}, {"DTMF-INFO-WAVE-2", path(QStringLiteral("missing.wav"))}});
    open();
    keys("#0105*");
    dtmfTicks(6);
    keys("#0106*");
    dtmfTicks(6);
    EXPECT_EQ(players.played, QStringList{info + QStringLiteral(" 0 100")});
    // With the information group switched off nothing plays.
    set({{"DTMF-INFO-ON", QStringLiteral("False")}});
    players.played.clear();
    open();
    keys("#0105*");
    dtmfTicks(6);
    EXPECT_TRUE(players.played.isEmpty());
}

TEST_F(DtmfTest, DigitsFromTheCaptureThreadArriveInOrderAtTheNextTick)
{
    open();
    GatewayDtmfInput* input = engine->dtmfInput();
    ASSERT_NE(input, nullptr);
    std::thread audio([input] {
        for (char c : std::string("#0102*"))
            input->push(c);
    });
    audio.join();
    EXPECT_TRUE(engine->dtmf().DTMF_CODE.isEmpty()); // nothing happens off the main thread
    dtmfTicks(1);
    EXPECT_EQ(engine->dtmf().DTMF_DCODE, QStringLiteral("#0102*"));
    // The tick that took the digits counts as the first tick after them.
    dtmfTicks(4);
    EXPECT_TRUE(players.played.isEmpty());
    dtmfTicks(1);
    EXPECT_EQ(players.played, QStringList{offline + QStringLiteral(" 0 100")});
}

TEST_F(DtmfTest, GeneratedRecordingThroughTheFileCaptureReachesTheGateway)
{
    // "#0102*" keyed on a radio: 120 ms tones, 120 ms gaps, in stereo at 44.1 kHz.
    rdaudio::SignalBuilder b(44100, 2);
    b.silence(200);
    for (char c : std::string("#0102*"))
        b.digit(c, 120, 8000).silence(120);
    b.silence(200);
    const QString wav = path(QStringLiteral("keys.wav"));
    ASSERT_TRUE(b.writeWav(QFile::encodeName(wav).toStdString()));

    rdaudio::WaveFileSource source;
    ASSERT_TRUE(source.open(QFile::encodeName(wav).toStdString()));
    open();
    ASSERT_TRUE(engine->dtmfRunning());
    ASSERT_NE(capture, nullptr);
    ASSERT_NE(capture->consumer, nullptr);
    source.setConsumer(capture->consumer);
    source.runToEnd();

    dtmfTicks(1);
    EXPECT_EQ(engine->dtmf().DTMF_DCODE, QStringLiteral("#0102*"));
    dtmfTicks(5);
    EXPECT_EQ(players.played, QStringList{offline + QStringLiteral(" 0 100")});
}
