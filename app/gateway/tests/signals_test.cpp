// Tone signals, announcements and the beacon of a gateway, driven tick by tick.
#include "app/gateway/tests/signals_fixture.h"

#include "app/audio/sounddevices.h"
#include "link/qt/linkqt.h"

#include <QFileInfo>

namespace {

QByteArray readAll(const QString& file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeText(const QString& file, const char* text)
{
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

QString playwave(int handler, const QString& level, const QString& file, int len)
{
    return QStringLiteral("PLAYWAVE scHandler=%1 level=%2 file=%3 len=%4")
        .arg(handler)
        .arg(level, LinkEscape(file))
        .arg(len);
}

} // namespace

// ---------------------------------------------------------------------------------------
// Beep designs

TEST(BeepDesign, SegmentsFollowTheDesignAndTheRolls)
{
    QTemporaryDir dir;
    const QString cfg = dir.path() + QStringLiteral("/rogerbeep.cfg");
    writeText(cfg, "[One]\nF1=1000\nD1=100\n"
                   "[Two]\nF1=1000\nD1=100\nB2=1\nP2=20\nF2=1500\nD2=80\n"
                   "[Three]\nF1=1000\nD1=100\nB2=1\nP2=20\nF2=1500\nD2=80\nB3=1\nP3=30\nF3=2000\nD3=60\n"
                   "[NoTwo]\nF1=1000\nD1=100\nB2=0\nB3=1\nP3=30\nF3=2000\nD3=60\n"
                   "[Partial]\nB2=1\n");
    struct Case {
        const char* design;
        std::array<int, 11> f;
        std::array<int, 11> d;
    };
    const Case cases[] = {
        {"One", {11, 1000, 11}, {100, 100, 300}},
        {"Two", {11, 1000, 11, 1500, 11}, {100, 100, 20, 80, 300}},
        {"Three", {11, 1000, 11, 1500, 11, 2000, 11}, {100, 100, 20, 80, 30, 60, 300}},
        // Tone 3 counts only after tone 2.
        {"NoTwo", {11, 1000, 11}, {100, 100, 300}},
        // Missing keys: silence of 10 ms per tone, 10 ms pauses.
        {"Partial", {11, 11, 11, 11, 11}, {100, 10, 10, 10, 300}},
        // A design that does not exist: pre-roll, 10 ms silence, post-roll.
        {"Missing", {11, 11, 11}, {100, 10, 300}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.design);
        const BeepArrays a = ReadBeepDesign(cfg, QLatin1String(c.design), 100, 300);
        EXPECT_EQ(a.frequencies, c.f);
        EXPECT_EQ(a.durations, c.d);
    }
    // No file at all behaves like a missing design.
    const BeepArrays none = ReadBeepDesign(dir.path() + QStringLiteral("/none.cfg"), QStringLiteral("One"), 50, 50);
    EXPECT_EQ(none.frequencies, (std::array<int, 11>{11, 11, 11}));
    EXPECT_EQ(none.durations, (std::array<int, 11>{50, 10, 50}));
}

// ---------------------------------------------------------------------------------------
// Roger beep and the other signals

TEST_F(SignalsTest, RogerBeepAfterAnOverIsRenderedPlayedAndKeepsTheRadioKeyed)
{
    writeText(path(QStringLiteral("rogerbeep.cfg")), "[Std]\nF1=1000\nD1=100\n");
    set({{"HF-ROGER-BEEP", QStringLiteral("True")},
         {"HF-ROGER-DATA", QStringLiteral("Std")},
         {"HF-ROGER-VOLUME", QStringLiteral("30")},
         {"HF-ROGER-WAIT", QStringLiteral("2")},
         {"HF-WAVE-VORLAUF", QStringLiteral("1")},
         {"HF-WAVE-NACHLAUF", QStringLiteral("1")}});
    open();
    connect(3);
    line("RXVOICE", {"scHandler=3", "status=1", "clientID=7", "speakers=1"});
    ticks(1);
    ASSERT_TRUE(radioKeyed());
    line("RXVOICE", {"scHandler=3", "status=0", "clientID=7", "speakers=0"});
    link.take();

    // HF-ROGER-WAIT 2: the beep goes out on the third tick after the end of speech.
    ticks(2);
    EXPECT_TRUE(sent(QStringLiteral("PLAYWAVE")).isEmpty());
    ticks(1);
    const QString file = path(QStringLiteral("tmp/_ROGER[3].wav"));
    // 100 ms silence, 100 ms of 1000 Hz, 100 ms silence: 3 tenths + 1.
    EXPECT_EQ(sent(QStringLiteral("PLAYWAVE")), QStringList{playwave(3, QStringLiteral("-20"), file, 4)});
    std::vector<std::uint8_t> expected;
    const int f[11] = {11, 1000, 11};
    const int d[11] = {100, 100, 100};
    ASSERT_TRUE(rdaudio::ToneSequenceBytes(f, d, 30, expected).ok());
    const QByteArray bytes = readAll(file);
    EXPECT_EQ(bytes, QByteArray(reinterpret_cast<const char*>(expected.data()), qsizetype(expected.size())));

    // The plugin confirms the wave: the radio stays keyed for its 4 ticks, then drops.
    line("WAVEPLAYER", {"scHandler=3", "status=1", "len=4"});
    for (int i = 1; i <= 3; ++i) {
        ticks(1);
        EXPECT_TRUE(radioKeyed()) << "tick " << i;
    }
    ticks(1);
    EXPECT_FALSE(radioKeyed());

    // Speech that starts again before the beep drops the pending beep.
    line("RXVOICE", {"scHandler=3", "status=1", "clientID=7", "speakers=1"});
    line("RXVOICE", {"scHandler=3", "status=0", "clientID=7", "speakers=0"});
    ticks(1);
    line("RXVOICE", {"scHandler=3", "status=1", "clientID=7", "speakers=1"});
    link.take();
    ticks(5);
    EXPECT_TRUE(sent(QStringLiteral("PLAYWAVE")).isEmpty());
}

TEST_F(SignalsTest, RogerWaitBelowOneBehavesLikeOne)
{
    writeText(path(QStringLiteral("rogerbeep.cfg")), "[Std]\nF1=1000\nD1=100\n");
    struct Case {
        const char* wait;
        int tick; // tick after the end of speech on which the beep goes out
    };
    for (const Case& c : {Case{"-3", 2}, Case{"0", 2}, Case{"1", 2}, Case{"4", 5}, Case{"x", 2}}) {
        SCOPED_TRACE(c.wait);
        set({{"HF-ROGER-BEEP", QStringLiteral("True")},
             {"HF-ROGER-DATA", QStringLiteral("Std")},
             {"HF-ROGER-WAIT", QLatin1String(c.wait)}});
        open();
        connect(3);
        line("RXVOICE", {"scHandler=3", "status=1", "clientID=7", "speakers=1"});
        line("RXVOICE", {"scHandler=3", "status=0", "clientID=7", "speakers=0"});
        link.take();
        ticks(c.tick - 1);
        EXPECT_TRUE(sent(QStringLiteral("PLAYWAVE")).isEmpty());
        // The radio stays keyed until the beep's own hold can arrive.
        EXPECT_TRUE(radioKeyed());
        ticks(1);
        EXPECT_EQ(sent(QStringLiteral("PLAYWAVE")).size(), 1);
    }
}

TEST_F(SignalsTest, EachConnectionHasItsOwnSignalFilesAndNoConnectionPlaysNothing)
{
    writeText(path(QStringLiteral("rogerbeep.cfg")), "[S]\nF1=1200\nD1=50\n[E]\nF1=900\nD1=250\n");
    set({{"HF-RXSTART-BEEP", QStringLiteral("True")},
         {"HF-RXSTART-DATA", QStringLiteral("S")},
         {"HF-RXEND-BEEP", QStringLiteral("True")},
         {"HF-RXEND-DATA", QStringLiteral("E")}});
    open();
    // Not connected (handler 0): no file, no line.
    line("RXVOICE", {"scHandler=0", "status=1", "clientID=7", "speakers=1"});
    EXPECT_TRUE(sent(QStringLiteral("PLAYWAVE")).isEmpty());
    EXPECT_TRUE(QDir(path(QStringLiteral("tmp"))).entryList(QDir::Files).isEmpty());

    connect(1);
    line("RXVOICE", {"scHandler=1", "status=1", "clientID=7", "speakers=1"});
    // 50 + 50 + 50 ms = 1 tenth + 1; RX end: 50 + 250 + 50 = 3 tenths + 1.
    EXPECT_EQ(sent(QStringLiteral("PLAYWAVE")),
              QStringList{playwave(1, QStringLiteral("-40"), path(QStringLiteral("tmp/_RXSTART[1].wav")), 2)});
    line("RXVOICE", {"scHandler=1", "status=0", "clientID=7", "speakers=0"});
    EXPECT_EQ(sent(QStringLiteral("PLAYWAVE")),
              QStringList{playwave(1, QStringLiteral("-20"), path(QStringLiteral("tmp/_RXEND[1].wav")), 4)});
    // A SPEAKERS event plays its own start beep.
    line("SPEAKERS", {"scHandler=1", "status=1", "speakers=1"});
    EXPECT_EQ(sent(QStringLiteral("PLAYWAVE")).size(), 1);

    // The same gateway given connection 2 writes files with "[2]".
    line("GW_CONNECT", {"gateUID={0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}", "scHandler=2"});
    line("RXVOICE", {"scHandler=2", "status=1", "clientID=7", "speakers=1"});
    EXPECT_EQ(sent(QStringLiteral("PLAYWAVE")).size(), 1);
    EXPECT_TRUE(QFileInfo::exists(path(QStringLiteral("tmp/_RXSTART[1].wav"))));
    EXPECT_TRUE(QFileInfo::exists(path(QStringLiteral("tmp/_RXSTART[2].wav"))));
}

TEST_F(SignalsTest, CallTone)
{
    struct Case {
        const char* freq;
        qint64 fileSize; // -1: no file
        int len;         // 0: nothing sent
    };
    const Case cases[] = {
        {"1750", 264646, 31}, // 3000 ms, header included
        {"30000", -1, 0},     // refused by the renderer
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.freq);
        set({{"REM-CALL-ON", QStringLiteral("True")},
             {"HF-CALL-FREQ", QLatin1String(c.freq)},
             {"HF-CALL-LENG", QStringLiteral("3000")},
             {"HF-CALL-VOLU", QStringLiteral("30")}});
        QFile::remove(path(QStringLiteral("tmp/_CALL[3].wav")));
        open();
        connect(3);
        engine->releaseCallTone();
        const QString file = path(QStringLiteral("tmp/_CALL[3].wav"));
        const QStringList lines = sent(QStringLiteral("PLAYWAVE"));
        if (c.len > 0) {
            EXPECT_EQ(QFileInfo(file).size(), c.fileSize);
            EXPECT_EQ(lines, QStringList{playwave(3, QStringLiteral("-20"), file, c.len)});
        } else {
            EXPECT_FALSE(QFileInfo::exists(file));
            EXPECT_TRUE(lines.isEmpty());
            ASSERT_FALSE(engine->log().isEmpty());
            EXPECT_TRUE(engine->log().last().text.contains(QStringLiteral("30000")))
                << engine->log().last().text.toStdString();
        }
    }
    // Switched off: nothing.
    set({{"REM-CALL-ON", QStringLiteral("False")}, {"HF-CALL-FREQ", QStringLiteral("1750")}});
    open();
    connect(3);
    engine->releaseCallTone();
    EXPECT_TRUE(sent(QStringLiteral("PLAYWAVE")).isEmpty());
}

TEST_F(SignalsTest, RxInfoBeepFollowsARadioOverUnlessSomebodyIsRelayed)
{
    writeText(path(QStringLiteral("rogerbeep.cfg")), "[I]\nF1=1000\nD1=100\n");
    set({{"HF-RXINFO-BEEP", QStringLiteral("True")},
         {"HF-RXINFO-DATA", QStringLiteral("I")},
         {"HF-RXINFO-DELAY", QStringLiteral("5")},
         {"HF-WAVE-NACHLAUF", QStringLiteral("2")}});
    open();
    connect(3);
    line("TXVOICE", {"scHandler=3", "status=1"});
    line("TXVOICE", {"scHandler=3", "status=0"});
    link.take();
    ticks(5);
    EXPECT_TRUE(sent(QStringLiteral("PLAYWAVE")).isEmpty());
    ticks(1);
    // 100 ms pre-roll, 100 ms tone, 200 ms post-roll: 4 tenths + 1.
    EXPECT_EQ(sent(QStringLiteral("PLAYWAVE")),
              QStringList{playwave(3, QStringLiteral("-20"), path(QStringLiteral("tmp/_RXINFO[3].wav")), 5)});

    // A TeamSpeak user relayed when the countdown runs out: no beep.
    line("TXVOICE", {"scHandler=3", "status=1"});
    line("TXVOICE", {"scHandler=3", "status=0"});
    line("RXVOICE", {"scHandler=3", "status=1", "clientID=7", "speakers=1"});
    link.take();
    ticks(10);
    EXPECT_TRUE(sent(QStringLiteral("PLAYWAVE")).isEmpty());
}

TEST_F(SignalsTest, RollSettingThatIsNotANumberSendsNoBeepAndKeepsTheTickRunning)
{
    writeText(path(QStringLiteral("rogerbeep.cfg")), "[Std]\nF1=1000\nD1=100\n");
    set({{"HF-ROGER-BEEP", QStringLiteral("True")},
         {"HF-ROGER-DATA", QStringLiteral("Std")},
         {"HF-ROGER-WAIT", QStringLiteral("0")},
         {"HF-WAVE-VORLAUF", QStringLiteral("one")}});
    open();
    connect(3);
    line("RXVOICE", {"scHandler=3", "status=1", "clientID=7", "speakers=1"});
    line("RXVOICE", {"scHandler=3", "status=0", "clientID=7", "speakers=0"});
    link.take();
    EXPECT_NO_THROW(ticks(10));
    EXPECT_TRUE(sent(QStringLiteral("PLAYWAVE")).isEmpty());
    EXPECT_FALSE(radioKeyed());
}

// ---------------------------------------------------------------------------------------
// Announcements

TEST_F(SignalsTest, JoinAnnouncementLevelAndLengthFollowTheRelay)
{
    const QString join = makeWave(QStringLiteral("sound/en_US/S0001.wav"), 1200);
    set({{"HF-WAVE-USERIN", QStringLiteral("True")},
         {"HF-WAVE-USEROUT", QStringLiteral("False")},
         {"HF-TX-DELAY", QStringLiteral("2")},
         {"HF-WAVE-VORLAUF", QStringLiteral("1")},
         {"AUDIO-WAVE-VOLUME", QStringLiteral("-12")},
         {"WAVE-REDUZIERUNG", QStringLiteral("-33")}});
    open();
    connect(3);
    // 12 tenths + TX delay 2 + pre-roll 1.
    line("USERIN", {"scHandler=3", "nickname=Anna"});
    EXPECT_EQ(sent(QStringLiteral("PLAYWAVE")), QStringList{playwave(3, QStringLiteral("-12"), join, 15)});
    EXPECT_EQ(engine->relay().WAVE_LV_IST, -12);
    // While a TeamSpeak user is relayed the reduced level goes with it.
    line("RXVOICE", {"scHandler=3", "status=1", "clientID=7", "speakers=1"});
    line("USERIN", {"scHandler=3", "nickname=Bert"});
    EXPECT_EQ(sent(QStringLiteral("PLAYWAVE")), QStringList{playwave(3, QStringLiteral("-33"), join, 15)});
    EXPECT_EQ(engine->relay().WAVE_LV_IST, -33);
    // Leave announcement switched off; a missing file plays nothing.
    line("USEROUT", {"scHandler=3", "nickname=Bert"});
    QFile::remove(join);
    line("USERIN", {"scHandler=3", "nickname=Cleo"});
    EXPECT_TRUE(sent(QStringLiteral("PLAYWAVE")).isEmpty());
}

// ---------------------------------------------------------------------------------------
// Beacon

TEST_F(SignalsTest, BeaconGoesOutOnTheTickAfterItsIntervalWhenQuiet)
{
    const QString bake = makeWave(QStringLiteral("bake.wav"), 1500);
    set({{"HF-BAKE-ON", QStringLiteral("True")},
         {"HF-BAKE-FILE", bake},
         {"HF-BAKE-TIME", QStringLiteral("600")},
         {"HF-TX-DELAY", QStringLiteral("1")},
         {"HF-WAVE-VORLAUF", QStringLiteral("1")}});
    open();
    connect(3);
    const QString next = GetText(QStringLiteral("0144"));
    const QString sec = GetText(QStringLiteral("0145"));

    ticks(1); // arms the interval
    EXPECT_EQ(engine->beacon().BAKE_WAIT, 6000);
    ticks(1);
    EXPECT_EQ(engine->display().beaconLine, QStringLiteral("[*] ") + next + QStringLiteral(" 600 ") + sec);
    ticks(1);
    EXPECT_EQ(engine->display().beaconLine, QStringLiteral("[*] ") + next + QStringLiteral(" 599 ") + sec);
    link.take();
    ticks(5998);
    EXPECT_TRUE(sent(QStringLiteral("PLAYWAVE")).isEmpty());
    EXPECT_EQ(engine->beacon().BAKE_WAIT, 0);
    ticks(1); // the 6001st tick after arming
    EXPECT_EQ(sent(QStringLiteral("PLAYWAVE")), QStringList{playwave(3, QStringLiteral("-20"), bake, 17)});
    EXPECT_EQ(engine->display().beaconLine, QStringLiteral("[+] ") + GetText(QStringLiteral("0146")));
    EXPECT_EQ(engine->beacon().BAKE_WAIT, 6000);

    // Switched off: idle on the next tick, and the line says so.
    SettingsList off = engine->DATARRAY;
    off.setValue(QStringLiteral("HF-BAKE-ON"), QStringLiteral("False"));
    engine->WriteConfig(off);
    ticks(1);
    EXPECT_EQ(engine->beacon().BAKE_WAIT, -1);
    EXPECT_EQ(engine->display().beaconLine, QStringLiteral("[X] ") + GetText(QStringLiteral("0120")));
}

TEST_F(SignalsTest, BeaconWaitsInItsLastFiveSecondsWhileSomebodyTalks)
{
    const QString bake = makeWave(QStringLiteral("bake.wav"), 500);
    set({{"HF-BAKE-ON", QStringLiteral("True")},
         {"HF-BAKE-FILE", bake},
         {"HF-BAKE-TIME", QStringLiteral("10")},
         {"HF-BAKE-WAIT", QStringLiteral("True")},
         {"TS3-RX-DELAY", QStringLiteral("3")}});
    open();
    connect(3);
    ticks(1 + 50); // arm (100), then down to 50
    EXPECT_EQ(engine->beacon().BAKE_WAIT, 50);
    line("RXVOICE", {"scHandler=3", "status=1", "clientID=7", "speakers=1"});
    link.take();
    ticks(200);
    EXPECT_EQ(engine->beacon().BAKE_WAIT, 50);
    EXPECT_TRUE(sent(QStringLiteral("PLAYWAVE")).isEmpty());
    line("RXVOICE", {"scHandler=3", "status=0", "clientID=7", "speakers=0"});
    link.take();
    // The release hold (3 ticks) still counts as talk; then 50 quiet ticks and the send.
    ticks(3);
    EXPECT_EQ(engine->beacon().BAKE_WAIT, 50);
    ticks(50);
    EXPECT_TRUE(sent(QStringLiteral("PLAYWAVE")).isEmpty());
    ticks(1);
    EXPECT_EQ(sent(QStringLiteral("PLAYWAVE")).size(), 1);
}

TEST_F(SignalsTest, BeaconCountRules)
{
    struct Case {
        const char* afterTx;
        const char* afterRx;
        int txOvers;
        int rxOvers;
        bool early;       // a beacon long before the interval
        int txCountAfter; // BAKE_TX_COUNT at the end
    };
    const Case cases[] = {
        {"10", "0", 9, 0, false, 9},  {"10", "0", 10, 0, true, 0},
        {"3", "0", 12, 0, false, 0}, // rule off: never counted
        {"0", "5", 0, 5, true, 0},    {"0", "5", 0, 4, false, 0},
        {"0", "0", 20, 20, false, 0},
    };
    const QString bake = makeWave(QStringLiteral("bake.wav"), 300);
    for (const Case& c : cases) {
        SCOPED_TRACE(QStringLiteral("AFTX %1 AFRX %2 tx %3 rx %4")
                         .arg(QLatin1String(c.afterTx), QLatin1String(c.afterRx))
                         .arg(c.txOvers)
                         .arg(c.rxOvers)
                         .toStdString());
        set({{"HF-BAKE-ON", QStringLiteral("True")},
             {"HF-BAKE-FILE", bake},
             {"HF-BAKE-TIME", QStringLiteral("600")},
             {"HF-BAKE-WAIT", QStringLiteral("False")},
             {"HF-BAKE-AFTX", QLatin1String(c.afterTx)},
             {"HF-BAKE-AFRX", QLatin1String(c.afterRx)}});
        open();
        connect(3);
        ticks(1);
        for (int i = 0; i < c.txOvers; ++i) {
            line("TXVOICE", {"scHandler=3", "status=1"});
            ticks(2);
            line("TXVOICE", {"scHandler=3", "status=0"});
            ticks(2);
        }
        for (int i = 0; i < c.rxOvers; ++i) {
            line("RXVOICE", {"scHandler=3", "status=1", "clientID=7", "speakers=1"});
            ticks(2);
            line("RXVOICE", {"scHandler=3", "status=0", "clientID=7", "speakers=0"});
            ticks(2);
        }
        ticks(10);
        const QStringList waves = sent(QStringLiteral("PLAYWAVE"));
        EXPECT_EQ(!waves.isEmpty() && waves.last().contains(LinkEscape(bake)), c.early);
        EXPECT_EQ(engine->beacon().BAKE_TX_COUNT, c.txCountAfter);
        if (c.early) {
            EXPECT_EQ(engine->beacon().BAKE_WAIT, 5990); // re-armed, then ran on
        }
    }
}

TEST_F(SignalsTest, OfflineBeaconPlaysLocallyAndKeysTheRadioWhilePlaying)
{
    const QString bake = makeWave(QStringLiteral("bake.wav"), 300);
    set({{"HF-BAKE-ON", QStringLiteral("True")},
         {"HF-BAKE-FILE", bake},
         {"HF-BAKE-TIME", QStringLiteral("1")},
         {"HF-OFFLINE-DEVICE", QStringLiteral("2")},
         {"HF-OFFLINE-VOLUME", QStringLiteral("70")}});
    open();
    ticks(1 + 11);
    ASSERT_EQ(players.played, QStringList{bake + QStringLiteral(" 2 70")});
    EXPECT_TRUE(sent(QStringLiteral("PLAYWAVE")).isEmpty());
    // Keyed for as long as the player plays.
    for (int i = 0; i < 30; ++i) {
        ticks(1);
        ASSERT_TRUE(radioKeyed()) << i;
    }
    players.playing = false;
    ticks(1);
    EXPECT_FALSE(radioKeyed());
    EXPECT_FALSE(engine->SPEAKERS.contains(QStringLiteral("HF-WAVE-PLAY")));
}

TEST_F(SignalsTest, OfflineAnnouncementWithoutASoundDeviceReleasesTheRadio)
{
    if (!rdaudio::ListWaveOutDevices().empty())
        GTEST_SKIP() << "a playback device is present; the fake player tests cover the keyed path";
    SetLocalPlayerFactory({}); // the sound card player
    const QString bake = makeWave(QStringLiteral("bake.wav"), 300);
    set({{"HF-BAKE-ON", QStringLiteral("True")}, {"HF-BAKE-FILE", bake}, {"HF-BAKE-TIME", QStringLiteral("1")}});
    open();
    ticks(1 + 11);
    EXPECT_TRUE(engine->SPEAKERS.contains(QStringLiteral("HF-WAVE-PLAY")));
    ticks(2);
    EXPECT_FALSE(engine->SPEAKERS.contains(QStringLiteral("HF-WAVE-PLAY")));
    EXPECT_FALSE(radioKeyed());
}

TEST_F(SignalsTest, BeaconRunsOnAfterTheConnectionWasLostDuringRelayedSpeech)
{
    const QString bake = makeWave(QStringLiteral("bake.wav"), 300);
    set({{"HF-BAKE-ON", QStringLiteral("True")}, {"HF-BAKE-FILE", bake}, {"HF-BAKE-TIME", QStringLiteral("10")}});
    const struct {
        const char* name;
        void (*drop)(SignalsTest&);
    } cases[] = {
        {"server connection lost",
         [](SignalsTest& t) {
             t.line("CONNECT", {"scHandler=3", "status=0"});
         }},
        {"link to the plugin lost", [](SignalsTest& t) { t.engine->TS3_Disconnect(); }},
        {"plugin greets again", [](SignalsTest& t) { t.engine->ResetGateway(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        players.played.clear();
        open();
        connect(3);
        line("RXVOICE", {"scHandler=3", "speakers=1", "status=1", "clientID=7"});
        ticks(5);
        c.drop(*this);
        ticks(200); // one interval of 100 ticks, the last 50 of them quiet
        EXPECT_EQ(players.played.value(0), bake + QStringLiteral(" 0 100"));

        // And on the connection that comes back.
        players.playing = false;
        ticks(2);
        connect(3);
        ticks(200);
        EXPECT_FALSE(sent(QStringLiteral("PLAYWAVE")).isEmpty());
        players.playing = true;
        engine.reset();
    }
}

TEST_F(SignalsTest, FailedRenderPlaysNothingAndSaysWhy)
{
    // An older call tone of the same name lies in the temporary folder.
    set({{"REM-CALL-ON", QStringLiteral("True")},
         {"HF-CALL-FREQ", QStringLiteral("1750")},
         {"HF-CALL-LENG", QStringLiteral("500")}});
    open();
    connect(3);
    engine->releaseCallTone();
    ASSERT_EQ(sent(QStringLiteral("PLAYWAVE")).size(), 1);
    SettingsList edited = engine->DATARRAY;
    edited.setValue(QStringLiteral("HF-CALL-FREQ"), QStringLiteral("30000"));
    engine->WriteConfig(edited);
    engine->releaseCallTone();
    EXPECT_TRUE(sent(QStringLiteral("PLAYWAVE")).isEmpty());
    ASSERT_FALSE(engine->log().isEmpty());
    EXPECT_TRUE(engine->log().last().text.contains(QStringLiteral("30000")));
    EXPECT_EQ(engine->log().last().color, GwColor::Red);

    // A roger beep whose file cannot be written (a folder holds its name).
    writeText(path(QStringLiteral("rogerbeep.cfg")), "[Std]\nF1=1000\nD1=100\n");
    set({{"HF-ROGER-BEEP", QStringLiteral("True")}, {"HF-ROGER-DATA", QStringLiteral("Std")}});
    ASSERT_TRUE(QDir(path(QStringLiteral("tmp"))).mkdir(QStringLiteral("_ROGER[3].wav")));
    open();
    connect(3);
    line("RXVOICE", {"scHandler=3", "status=1", "clientID=7", "speakers=1"});
    line("RXVOICE", {"scHandler=3", "status=0", "clientID=7", "speakers=0"});
    link.take();
    const int logged = int(engine->log().size());
    ticks(10);
    EXPECT_TRUE(sent(QStringLiteral("PLAYWAVE")).isEmpty());
    ASSERT_EQ(engine->log().size(), logged + 1);
    EXPECT_TRUE(engine->log().last().text.contains(QStringLiteral("_ROGER[3].wav")))
        << engine->log().last().text.toStdString();
    EXPECT_FALSE(radioKeyed());
}
