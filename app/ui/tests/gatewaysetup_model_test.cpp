// The gateway setup editor without its window: opening, the page rules, refusals with
// their messages, saving (also into a running gateway) and the close question.
#include "app/ui/tests/gatewaysetup_fixture.h"

using namespace gatewaysetup;
using setuptest::kUid;

namespace {

class SetupModelTest : public setuptest::SetupFixture {
protected:
    std::unique_ptr<GatewaySetupModel> model;
    bool open(const SettingsList& params)
    {
        model = std::make_unique<GatewaySetupModel>(deps());
        return model->StarteForm(params);
    }
    void openExisting(const QStringList& extra = {})
    {
        writeGateway(extra);
        ASSERT_TRUE(open(existingParams()));
    }
};

TEST_F(SetupModelTest, ExistingGatewayIsCompletedAndClosesWithoutQuestion)
{
    openExisting({QStringLiteral("TS3-NICK=Relais^Nord")});
    EXPECT_EQ(model->gateUID(), kUid);
    EXPECT_EQ(model->gateName(), QStringLiteral("Relais Nord"));
    EXPECT_EQ(model->text(QStringLiteral("TS3-NICK")), QStringLiteral("Relais^Nord"));
    EXPECT_EQ(model->text(QStringLiteral("HF-TX-MAXTIME")), QStringLiteral("300")); // default added
    EXPECT_EQ(model->cfgFile(), gatewayPath());
    EXPECT_FALSE(model->DAT_IS_CH());
    EXPECT_TRUE(model->closeQuery());
    EXPECT_TRUE(questions.isEmpty());
}

TEST_F(SetupModelTest, UnloadableGatewayIsRefusedWith0060)
{
    const struct {
        const char* name;
        QByteArray content; // nullptr: no file at all
        bool withPath;
    } cases[] = {
        {"no CFG_FILE", QByteArray(), false},
        {"missing file", QByteArray(), true},
        {"not Base64", QByteArrayLiteral("%%%not base64%%%"), true},
        {"no gateName", QByteArrayLiteral("gateUID=").append(kUid.toLatin1()).toBase64(), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(gatewayPath());
        if (!c.content.isEmpty()) {
            QFile f(gatewayPath());
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(c.content);
        }
        SettingsList p;
        p.setBool(QStringLiteral("loadConfig"), true);
        if (c.withPath)
            p.setValue(QStringLiteral("CFG_FILE"), gatewayPath());
        errors.clear();
        EXPECT_FALSE(open(p));
        EXPECT_EQ(errors, QStringList{GetText(QStringLiteral("0060"))});
    }
}

TEST_F(SetupModelTest, NewGatewayTakesItsNameAndAsksBeforeClosing)
{
    SettingsList p;
    p.setBool(QStringLiteral("loadConfig"), false);
    p.setBool(QStringLiteral("setGateName"), true);
    p.setValue(QStringLiteral("newGateName"), QStringLiteral("DB0XYZ Relais"));
    ASSERT_TRUE(open(p));
    EXPECT_EQ(model->gateName(), QStringLiteral("DB0XYZ Relais"));
    EXPECT_EQ(model->gateUID().size(), 38);
    EXPECT_EQ(model->cfgFile(), cfg + model->gateUID() + QStringLiteral(".rdk"));
    EXPECT_TRUE(model->isNew());

    // Unchanged, it still asks; No leaves nothing behind.
    answerYes = false;
    EXPECT_TRUE(model->closeQuery());
    EXPECT_EQ(questions, QStringList{QStringLiteral("DB0XYZ Relais\r") + GetText(QStringLiteral("0062"))});
    EXPECT_FALSE(QFile::exists(model->cfgFile()));

    // Yes writes it, and a gateway file it is from then on.
    answerYes = true;
    EXPECT_TRUE(model->closeQuery());
    const gatewayconfig::LoadResult back = gatewayconfig::load(model->cfgFile());
    ASSERT_TRUE(back.ok());
    EXPECT_EQ(back.list.value(QStringLiteral("gateName")), QStringLiteral("DB0XYZ Relais"));
    EXPECT_FALSE(model->isNew());

    // Without setGateName the default name stays.
    p.setBool(QStringLiteral("setGateName"), false);
    ASSERT_TRUE(open(p));
    EXPECT_EQ(model->gateName(), GetText(QStringLiteral("0101")));
}

TEST_F(SetupModelTest, FieldRulesStoreTheirForm)
{
    openExisting();
    const struct {
        const char* name;
        std::function<void(GatewaySetupModel&)> edit;
        const char* key;
        const char* stored;
    } cases[] = {
        {"ms field stores tenths", [](GatewaySetupModel& m) { m.setMs(spec::kVoxDelay, QStringLiteral("450")); },
         "TS3-VOX-DELAY", "4"},
        {"ms field 0 allowed for relay delay",
         [](GatewaySetupModel& m) { m.setMs(spec::kTs3RxDelay, QStringLiteral("0")); }, "TS3-RX-DELAY", "0"},
        {"ms field upper bound", [](GatewaySetupModel& m) { m.setMs(spec::kRogerWait, QStringLiteral("2000")); },
         "HF-ROGER-WAIT", "20"},
        {"slider clamps", [](GatewaySetupModel& m) { m.setSlider(spec::kTs3MaxTime, 900); }, "TS3-TX-MAXTIME", "600"},
        {"slider clamps low", [](GatewaySetupModel& m) { m.setSlider(spec::kHfMaxReset, 2); }, "HF-TX-MAXRESET", "10"},
        {"number as typed", [](GatewaySetupModel& m) { m.setNumber(spec::kCallFreq, QStringLiteral("2135")); },
         "HF-CALL-FREQ", "2135"},
        {"commander when activity", [](GatewaySetupModel& m) { m.setCommanderMode(CommanderMode::WhenActivity); },
         "TS3-CMDR-ON-ACT", "True"},
        {"commander flag cleared", [](GatewaySetupModel& m) { m.setCommanderMode(CommanderMode::WhenActivity); },
         "TS3-CMDR-ON-ON", "False"},
        {"connect type", [](GatewaySetupModel& m) { m.setConnectType(1); }, "TS3-CONNECT-TYPE", "1"},
        {"empty text removes", [](GatewaySetupModel& m) { m.setText(QStringLiteral("TS3-SERV-PASSWD"), QString()); },
         "TS3-SERV-PASSWD", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.edit(*model);
        EXPECT_EQ(model->text(QString::fromLatin1(c.key)), QString::fromLatin1(c.stored));
    }
    EXPECT_TRUE(model->DAT_IS_CH());
    EXPECT_FALSE(model->DATARRAY().contains(QStringLiteral("TS3-SERV-PASSWD")));
}

TEST_F(SetupModelTest, RefusalsShowTheirMessageAndStoreNothing)
{
    openExisting({QStringLiteral("HF-BAKE-FILE=") + cfg + QStringLiteral("gone.wav")});
    const QString red = QStringLiteral("(field turns red)");
    const struct {
        const char* name;
        std::function<bool(GatewaySetupModel&)> edit; // true: the edit was taken
        const char* key;
        QString message;
    } cases[] = {
        {"ms below range", [](GatewaySetupModel& m) { return m.setMs(spec::kVoxDelay, QStringLiteral("50")); },
         "TS3-VOX-DELAY", red},
        {"ms not a number", [](GatewaySetupModel& m) { return m.setMs(spec::kHfTxDelay, QStringLiteral("1x0")); },
         "HF-TX-DELAY", red},
        {"ms negative", [](GatewaySetupModel& m) { return m.setMs(spec::kHfTxDelay, QStringLiteral("-100")); },
         "HF-TX-DELAY", red},
        {"beacon interval too short",
         [](GatewaySetupModel& m) { return m.setNumber(spec::kBeaconTime, QStringLiteral("299")); }, "HF-BAKE-TIME",
         red},
        {"call length too long",
         [](GatewaySetupModel& m) { return m.setNumber(spec::kCallLength, QStringLiteral("8001")); }, "HF-CALL-LENG",
         red},
        {"five-character name", [](GatewaySetupModel& m) { return m.setGateNameChecked(QStringLiteral("DB0AB")); },
         "gateName", GetText(QStringLiteral("0705"))},
        {"beacon without its file", [](GatewaySetupModel& m) { return m.setBeaconOn(true); }, "HF-BAKE-ON",
         GetText(QStringLiteral("1004"))},
        {"announcement without S0001.wav",
         [](GatewaySetupModel& m) { return m.setAnnouncement(QStringLiteral("HF-WAVE-USERIN"), true); },
         "HF-WAVE-USERIN", GetText(QStringLiteral("1004"))},
        {"port that is not open", [](GatewaySetupModel& m) { return m.choosePort(QStringLiteral("COM-IN-NUM"), 4); },
         "COM-IN-NUM", GetText(QStringLiteral("0850")) + QLatin1Char('\r') + GetText(QStringLiteral("0851"))},
        {"nickname while the gateway is stopped",
         [](GatewaySetupModel& m) { return m.sendNickname(QStringLiteral("Relais Nord")); }, "",
         GetText(QStringLiteral("0746"))},
        {"pick list without the link",
         [](GatewaySetupModel& m) { return m.pickList(ProfileKind::Capture).has_value(); }, "",
         GetText(QStringLiteral("0708"))},
        {"reload without the link", [](GatewaySetupModel& m) { return m.requestProfiles(true); }, "",
         GetText(QStringLiteral("0708"))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        errors.clear();
        infos.clear();
        const QString key = QString::fromLatin1(c.key);
        const QString before = model->text(key);
        EXPECT_FALSE(c.edit(*model));
        if (!key.isEmpty() && key != QLatin1String("HF-BAKE-ON") && key != QLatin1String("HF-WAVE-USERIN")) {
            EXPECT_EQ(model->text(key), before);
        }
        if (c.message == red) {
            EXPECT_TRUE(errors.isEmpty() && infos.isEmpty());
        } else {
            EXPECT_EQ(errors + infos, QStringList{c.message});
        }
    }
    // The boxes that needed a file are stored unticked.
    EXPECT_EQ(model->text(QStringLiteral("HF-BAKE-ON")), QStringLiteral("False"));
    EXPECT_EQ(model->text(QStringLiteral("HF-WAVE-USERIN")), QStringLiteral("False"));
    EXPECT_TRUE(transport.takeLines().isEmpty());
    // Nothing of that reached the disk.
    EXPECT_EQ(stored().value(QStringLiteral("HF-BAKE-ON")), QStringLiteral("False"));
    EXPECT_FALSE(stored().contains(QStringLiteral("COM-IN-NUM")) &&
                 stored().value(QStringLiteral("COM-IN-NUM")) == QLatin1String("4"));
}

TEST_F(SetupModelTest, FilesThatExistAreAccepted)
{
    const QString wav = cfg + QStringLiteral("beacon.wav");
    QFile(wav).open(QIODevice::WriteOnly);
    QFile(snd + QStringLiteral("en_US/S0002.wav")).open(QIODevice::WriteOnly);
    openExisting();
    model->setBeaconFile(wav);
    EXPECT_TRUE(model->setBeaconOn(true));
    EXPECT_EQ(model->text(QStringLiteral("HF-BAKE-ON")), QStringLiteral("True"));
    EXPECT_TRUE(model->setAnnouncement(QStringLiteral("HF-WAVE-USEROUT"), true));
    EXPECT_EQ(model->text(QStringLiteral("HF-WAVE-USEROUT")), QStringLiteral("True"));
    // Delete empties the field and switches the beacon off.
    model->deleteBeaconFile();
    EXPECT_FALSE(model->DATARRAY().contains(QStringLiteral("HF-BAKE-FILE")));
    EXPECT_EQ(model->text(QStringLiteral("HF-BAKE-ON")), QStringLiteral("False"));
    EXPECT_TRUE(model->choosePort(QStringLiteral("COM-IN-NUM"), 3));
    EXPECT_EQ(model->text(QStringLiteral("COM-IN-NUM")), QStringLiteral("3"));
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(SetupModelTest, WaveReductionNeverExceedsTheVolume)
{
    openExisting({QStringLiteral("AUDIO-WAVE-VOLUME=-10"), QStringLiteral("WAVE-REDUZIERUNG=-20")});
    model->resetReductionMemory();
    // Volume below the reduction takes the reduction along.
    EXPECT_EQ(model->moveWaveVolume(-30), -30);
    EXPECT_EQ(model->text(QStringLiteral("AUDIO-WAVE-VOLUME")), QStringLiteral("-30"));
    EXPECT_EQ(model->text(QStringLiteral("WAVE-REDUZIERUNG")), QStringLiteral("-30"));
    EXPECT_EQ(model->reductionMemory(), -29);
    // Raising the volume again brings the pushed-down reduction up with it.
    EXPECT_EQ(model->moveWaveVolume(-5), -5);
    // A reduction set by hand is clamped to the volume and remembered once released.
    EXPECT_EQ(model->moveReduction(0, true), -5);
    EXPECT_EQ(model->moveReduction(-25, false), -25);
    EXPECT_EQ(model->reductionMemory(), -25);
    // Now moving the volume above it leaves the hand-set reduction alone.
    EXPECT_EQ(model->moveWaveVolume(-2), -25);
    EXPECT_EQ(model->text(QStringLiteral("WAVE-REDUZIERUNG")), QStringLiteral("-25"));
}

TEST_F(SetupModelTest, ShowingAudioAndComPagesStoresWhatTheyShow)
{
    openExisting({QStringLiteral("TS3-TX-VOX-LV=80"), QStringLiteral("COM-OUT-PIN=break"),
                  QStringLiteral("HF-OFFLINE-DEVICE=5")});
    model->storeShownAudioValues();
    EXPECT_EQ(model->text(QStringLiteral("TS3-TX-VOX-LV")), QStringLiteral("50"));    // clamped
    EXPECT_EQ(model->text(QStringLiteral("HF-OFFLINE-DEVICE")), QStringLiteral("5")); // device not present: kept
    model->storeShownComValues();
    EXPECT_EQ(model->text(QStringLiteral("COM-OUT-PIN")), QStringLiteral("BREAK"));
    EXPECT_EQ(model->text(QStringLiteral("COM-OUT-ON")), QStringLiteral("False"));
    EXPECT_TRUE(model->DAT_IS_CH());
    answerYes = false;
    model->closeQuery();
    EXPECT_EQ(questions, QStringList{QStringLiteral("Relais Nord\r") + GetText(QStringLiteral("0061"))});
}

TEST_F(SetupModelTest, UnreadableValuesShowAsTheirDefault)
{
    openExisting({QStringLiteral("HF-TX-MAX-ON=maybe"), QStringLiteral("TS3-DOPPEL-RX=1"),
                  QStringLiteral("HF-TX-MAXTIME=5min")});
    EXPECT_TRUE(model->boolOf(QStringLiteral("HF-TX-MAX-ON")));  // default True
    EXPECT_TRUE(model->boolOf(QStringLiteral("TS3-DOPPEL-RX"))); // a number reads as a boolean
    EXPECT_EQ(model->sliderValue(spec::kHfMaxTime), 300);        // a limit that is no number shows its fallback
    EXPECT_FALSE(model->DAT_IS_CH());
}

TEST_F(SetupModelTest, RenameTakesSixCharacters)
{
    openExisting();
    typedName = QStringLiteral("DB0ABC");
    EXPECT_TRUE(model->rename());
    EXPECT_EQ(model->gateName(), QStringLiteral("DB0ABC"));
    typedName.reset(); // Cancel
    EXPECT_FALSE(model->rename());
    EXPECT_EQ(model->gateName(), QStringLiteral("DB0ABC"));
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(SetupModelTest, SaveWritesTheFileAndHandsTheListToTheRunningGateway)
{
    openExisting();
    connectNow();
    runGateway(7, true);
    model->setText(QStringLiteral("TS3-HOST"), QStringLiteral("ts.example.org:9987"));
    clock.set(QDateTime(QDate(2026, 12, 10), QTime(20, 15, 30)).toMSecsSinceEpoch());
    ASSERT_TRUE(model->save());
    EXPECT_FALSE(model->DAT_IS_CH());
    const SettingsList back = stored();
    EXPECT_EQ(back.value(QStringLiteral("TS3-HOST")), QStringLiteral("ts.example.org:9987"));
    EXPECT_TRUE(back.value(QStringLiteral("activTime")).contains(QStringLiteral("20:15:30")));
    EXPECT_EQ(back, model->DATARRAY());
    EXPECT_EQ(gateway->calls, QStringList{QStringLiteral("Write")});
    // Saving sends nothing by itself; the nickname and info buttons do that.
    EXPECT_TRUE(transport.takeLines().isEmpty());

    // A gateway that is not running gets nothing.
    directory.list.clear();
    gateway->calls.clear();
    ASSERT_TRUE(model->save());
    EXPECT_TRUE(gateway->calls.isEmpty());
}

TEST_F(SetupModelTest, SaveIntoAnUnwritableFolderKeepsTheChanges)
{
    SettingsList p;
    p.setBool(QStringLiteral("loadConfig"), false);
    p.setValue(QStringLiteral("CFG_FILE"), home.path() + QStringLiteral("/no/such/folder/x.rdk"));
    ASSERT_TRUE(open(p));
    model->setText(QStringLiteral("TS3-NICK"), QStringLiteral("x"));
    EXPECT_FALSE(model->save());
    EXPECT_TRUE(model->DAT_IS_CH());
    EXPECT_EQ(errors.size(), 1);
    // The close question's Yes fails to save too: the window stays open.
    answerYes = true;
    EXPECT_FALSE(model->closeQuery());
}

TEST_F(SetupModelTest, NicknameAndInfoGoToTheConnectedGateway)
{
    openExisting();
    connectNow();
    const struct {
        const char* name;
        int handler;
        bool connected;
        QStringList lines;
    } cases[] = {
        {"connected",
         7,
         true,
         {QStringLiteral("SETNICK scHandler=7 nickname=Relais^sNord^p2"),
          QStringLiteral("SETINFO scHandler=7 text=70cm^s^g^s439.1")}},
        {"running without a server", 7, false, {}},
        {"running, no handler yet", 0, true, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        runGateway(c.handler, c.connected);
        errors.clear();
        const bool sent = model->sendNickname(QStringLiteral("Relais Nord|2"));
        EXPECT_EQ(sent, model->sendInfoText(QStringLiteral("70cm = 439.1")));
        EXPECT_EQ(transport.takeLines(), c.lines);
        EXPECT_EQ(errors.size(), c.lines.isEmpty() ? 2 : 0);
        // The texts are stored either way.
        EXPECT_EQ(model->text(QStringLiteral("TS3-NICK")), QStringLiteral("Relais Nord|2"));
        EXPECT_EQ(model->text(QStringLiteral("TS3-INFO-TXT")), QStringLiteral("70cm = 439.1"));
    }
}

TEST_F(SetupModelTest, ProfilesArePickedFromThePluginLists)
{
    openExisting();
    connectNow();
    receive("PROFILES type=0 default=0 items=Default|USB^sCODEC\r\n"
            "PROFILES type=10 count=2 items=Home|Club^sNet uids=u-1|u-2\r\n");
    ASSERT_TRUE(model->requestProfiles(true));
    EXPECT_EQ(transport.takeLines(), QStringList{QStringLiteral("GETPROFILES ")});
    EXPECT_EQ(model->pickList(ProfileKind::Capture),
              (QStringList{QStringLiteral("Default"), QStringLiteral("USB CODEC")}));
    EXPECT_TRUE(model->pickProfile(ProfileKind::Capture, 1));
    EXPECT_EQ(model->text(QStringLiteral("TS3-SND-IN-PROF")), QStringLiteral("USB CODEC"));
    EXPECT_TRUE(model->pickProfile(ProfileKind::Bookmark, 1));
    EXPECT_EQ(model->text(QStringLiteral("TS3-BOOK-NAME")), QStringLiteral("Club Net"));
    EXPECT_EQ(model->text(QStringLiteral("TS3-BOOK-UID")), QStringLiteral("u-2"));
    EXPECT_FALSE(model->pickProfile(ProfileKind::Playback, 0)); // empty list
    EXPECT_TRUE(errors.isEmpty());
}

} // namespace
