// The roger beep editor: designs saved here are what the gateways render, invalid input
// changes nothing, overwrite and delete ask first, and a preview works without a sound
// device.
#include "app/audio/tones.h"
#include "app/config/inifile.h"
#include "app/config/texts.h"
#include "app/gateway/gatewaytones.h"
#include "app/ui/beepeditor_model.h"
#include "app/ui/beepeditorwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

void ensureApp()
{
    static int argc = 1;
    static char arg0[] = "rd_ui_tests";
    static char* argv[] = {arg0, nullptr};
    if (!QApplication::instance()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        new QApplication(argc, argv);
    }
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct RecordingPlayer : BeepPreviewPlayer {
    QStringList* log;
    explicit RecordingPlayer(QStringList* l) : log(l) {}
    bool play(const QString& file, int device, int volume, QString*) override
    {
        *log << QStringLiteral("play %1 %2 %3").arg(QFileInfo(file).fileName()).arg(device).arg(volume);
        return true;
    }
    void stop() override { *log << QStringLiteral("stop"); }
};

BeepFields fields(const char* f1, const char* d1, bool b2 = false, const char* f2 = "", const char* d2 = "",
                  const char* p2 = "", bool b3 = false, const char* f3 = "", const char* d3 = "", const char* p3 = "")
{
    BeepFields f;
    f.f1 = QLatin1String(f1);
    f.d1 = QLatin1String(d1);
    f.b2 = b2;
    f.f2 = QLatin1String(f2);
    f.d2 = QLatin1String(d2);
    f.p2 = QLatin1String(p2);
    f.b3 = b3;
    f.f3 = QLatin1String(f3);
    f.d3 = QLatin1String(d3);
    f.p3 = QLatin1String(p3);
    return f;
}

class BeepEditorTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString cfg, tmp;
    SettingsList settings;
    QStringList devices{QStringLiteral("Speakers"), QStringLiteral("Radio card")};
    QStringList questions, errors, playerLog;
    bool answer = true;

    void SetUp() override
    {
        ensureApp();
        SetAppLang(QStringLiteral("en_US"));
        cfg = dir.path() + QStringLiteral("/rogerbeep.cfg");
        tmp = dir.path() + QStringLiteral("/_tmp/");
        QDir().mkpath(tmp);
    }
    void TearDown() override { SetAppLang(QStringLiteral("de_DE")); }

    BeepEditorModel::Deps deps()
    {
        BeepEditorModel::Deps d;
        d.cfgFile = cfg;
        d.tempFolder = tmp;
        d.settings = &settings;
        d.outputDevices = [this] { return devices; };
        d.makePlayer = [this] { return std::make_unique<RecordingPlayer>(&playerLog); };
        d.ask = [this](const QString& q) {
            questions << q;
            return answer;
        };
        d.showError = [this](const QString& e) { errors << e; };
        return d;
    }

    void writeCfg(const char* text)
    {
        QFile f(cfg);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
};

// What the editor saves, the gateway reads back to the same segments, and the editor's
// preview file is byte for byte the gateway's rendering with the same rolls and volume.
TEST_F(BeepEditorTest, SavedDesignIsRenderedByTheGatewayExactlyLikeThePreview)
{
    struct Case {
        const char* name;
        BeepFields f;
    };
    const Case cases[] = {
        {"one tone", fields("1000", "150")},
        {"two tones", fields("1200", "80", true, "800", "120", "40")},
        {"three tones", fields("100", "0", true, "20000", "2000", "0", true, "440", "60", "2000")},
        {"tone three off", fields("1750", "200", true, "600", "90", "30", false, "999", "999", "999")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BeepEditorModel m(deps());
        m.fields() = c.f;
        m.setName(QLatin1String(c.name));
        ASSERT_EQ(m.save(), BeepEditorModel::SaveResult::Saved);
        ASSERT_TRUE(m.designs().contains(QLatin1String(c.name)));
        EXPECT_TRUE(m.fields() == BeepFields()) << "the editor is reset after saving";

        ASSERT_TRUE(m.select(QLatin1String(c.name)));
        BeepPreviewArrays p;
        ASSERT_TRUE(m.previewArrays(p));
        const BeepArrays g = ReadBeepDesign(cfg, QLatin1String(c.name), 100, 100);
        EXPECT_EQ(g.frequencies, p.frequencies);
        EXPECT_EQ(g.durations, p.durations);

        ASSERT_EQ(m.preview(), BeepEditorModel::PreviewResult::Played);
        const QString gatewayFile = tmp + QStringLiteral("gateway.wav");
        ASSERT_TRUE(
            rdaudio::RenderToneSequence(g.frequencies, g.durations, 80, QFile::encodeName(gatewayFile).toStdString())
                .ok());
        const QByteArray preview = readAll(m.previewFile());
        EXPECT_GT(preview.size(), 44);
        EXPECT_EQ(preview, readAll(gatewayFile));
    }
    EXPECT_EQ(BeepEditorModel(deps()).designs(),
              (QStringList{"one tone", "two tones", "three tones", "tone three off"}));
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('|')).toStdString();
}

TEST_F(BeepEditorTest, SavedKeysAndOrderWithUnusedTonesAsZero)
{
    BeepEditorModel m(deps());
    // "#3" typed in but "#2" off: neither is stored.
    m.fields() = fields("1000", "150", false, "700", "70", "7", false, "300", "30", "3");
    m.setTone3(true);
    m.setName(QStringLiteral("Short"));
    ASSERT_EQ(m.save(), BeepEditorModel::SaveResult::Saved);
    EXPECT_EQ(readAll(cfg).replace("\r\n", "\n"),
              QByteArray("[Short]\nF1=1000\nD1=150\nB2=0\nF2=0\nD2=0\nP2=0\nB3=0\nF3=0\nD3=0\nP3=0\n"));

    // Loading a stored design: missing keys give "0", tone 3 needs tone 2.
    writeCfg("[Sparse]\nF1=900\nB3=1\nF3=500\n");
    BeepEditorModel s(deps());
    ASSERT_TRUE(s.select(QStringLiteral("Sparse")));
    EXPECT_TRUE(s.fields() == fields("900", "0", false, "0", "0", "0", false, "500", "0", "0"));
    EXPECT_TRUE(s.nameReadOnly());
    EXPECT_TRUE(s.deleteEnabled());
    EXPECT_FALSE(s.tone3CheckEnabled());
    s.setName(QStringLiteral("Other"));
    EXPECT_EQ(s.name(), QStringLiteral("Sparse")) << "the name of a stored design is read-only";
}

TEST_F(BeepEditorTest, InvalidInputIsRefusedAndChangesNothing)
{
    writeCfg("[Keep]\nF1=1000\nD1=100\nB2=0\n");
    const QByteArray before = readAll(cfg);
    struct Case {
        const char* what;
        BeepFields f;
        const char* name;
        bool previewRefused;
    };
    const Case cases[] = {
        {"tone 1 at 99 Hz", fields("99", "100"), "Low", true},
        {"tone 1 above 20000 Hz", fields("20001", "100"), "High", true},
        {"empty tone 1 duration", fields("1000", ""), "Empty", false}, // a preview reads it as 0 ms
        {"tone 1 too long", fields("1000", "2001"), "Long", true},
        {"tone 2 pause too long", fields("1000", "100", true, "800", "100", "2001"), "Pause", false},
        {"tone 2 not a number", fields("1000", "100", true, "8x0", "100", "10"), "Text", false},
        {"tone 3 too low", fields("1000", "100", true, "800", "100", "10", true, "50", "100", "10"), "T3", false},
        {"empty name", fields("1000", "100"), "   ", false},
        {"name that breaks the section", fields("1000", "100"), "a]b", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        errors.clear();
        BeepEditorModel m(deps());
        m.fields() = c.f;
        m.setName(QLatin1String(c.name));
        EXPECT_NE(m.save(), BeepEditorModel::SaveResult::Saved);
        EXPECT_EQ(errors, QStringList{QStringLiteral("Input invalid, not save possible")});
        EXPECT_TRUE(m.fields() == c.f) << "the input stays for correcting";
        EXPECT_EQ(readAll(cfg), before);

        errors.clear();
        const auto r = m.preview();
        if (c.previewRefused) {
            EXPECT_EQ(r, BeepEditorModel::PreviewResult::Invalid);
            EXPECT_EQ(errors, QStringList{QStringLiteral("Input invalid, not playback possible")});
        } else {
            EXPECT_EQ(r, BeepEditorModel::PreviewResult::Played);
        }
    }
    EXPECT_TRUE(questions.isEmpty());
}

TEST_F(BeepEditorTest, AFailedWriteIsReportedAndKeepsTheInput)
{
    BeepEditorModel::Deps d = deps();
    d.cfgFile = dir.path() + QStringLiteral("/missing/folder/rogerbeep.cfg");
    BeepEditorModel m(std::move(d));
    m.fields() = fields("1000", "100");
    m.setName(QStringLiteral("Lost"));
    EXPECT_EQ(m.save(), BeepEditorModel::SaveResult::WriteFailed);
    EXPECT_EQ(errors, QStringList{QStringLiteral("rogerbeep.cfg could not be written.")});
    EXPECT_TRUE(m.fields() == fields("1000", "100"));
    EXPECT_EQ(m.name(), QStringLiteral("Lost"));
    EXPECT_TRUE(m.designs().isEmpty());
}

TEST_F(BeepEditorTest, PreviewLeavesOutInvalidFollowingTones)
{
    BeepEditorModel m(deps());
    m.fields() = fields("1000", "100", true, "50", "100", "10", true, "500", "60", "20");
    BeepPreviewArrays a;
    ASSERT_TRUE(m.previewArrays(a));
    EXPECT_EQ(a.frequencies, (std::array<int, 11>{11, 1000, 11, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(a.durations, (std::array<int, 11>{100, 100, 100, 0, 0, 0, 0, 0, 0, 0, 0}));
    m.fields() = fields("1000", "100", true, "800", "50", "10", true, "500", "60", "abc"); // pause read as 0
    ASSERT_TRUE(m.previewArrays(a));
    EXPECT_EQ(a.frequencies, (std::array<int, 11>{11, 1000, 11, 800, 11, 500, 11, 0, 0, 0, 0}));
    EXPECT_EQ(a.durations, (std::array<int, 11>{100, 100, 10, 50, 0, 60, 100, 0, 0, 0, 0}));
}

TEST_F(BeepEditorTest, OverwriteAsksAndDeclineLeavesTheFileButResets)
{
    writeCfg("[First]\nF1=1000\nD1=100\nB2=0\n[Beep]\nF1=1500\nD1=200\nB2=0\n[Last]\nF1=700\nD1=50\nB2=0\n");
    const QByteArray before = readAll(cfg);
    BeepEditorModel m(deps());
    m.fields() = fields("2000", "300");
    m.setName(QStringLiteral("beep")); // section names match without regard to case
    answer = false;
    EXPECT_EQ(m.save(), BeepEditorModel::SaveResult::Declined);
    EXPECT_EQ(questions, QStringList{QStringLiteral("Override entry?\nbeep")});
    EXPECT_EQ(readAll(cfg), before);
    EXPECT_TRUE(m.fields() == BeepFields());
    EXPECT_TRUE(m.name().isEmpty());

    answer = true;
    m.fields() = fields("2000", "300");
    m.setName(QStringLiteral("Beep"));
    EXPECT_EQ(m.save(), BeepEditorModel::SaveResult::Saved);
    const IniFile ini(cfg);
    EXPECT_EQ(ini.sections(), (QStringList{"First", "Beep", "Last"}));
    EXPECT_EQ(ini.readString(QStringLiteral("Beep"), QStringLiteral("F1")), QStringLiteral("2000"));
    EXPECT_EQ(ini.readString(QStringLiteral("Last"), QStringLiteral("F1")), QStringLiteral("700"));
}

TEST_F(BeepEditorTest, DeleteAsksAndRemovesOnlyThatSection)
{
    writeCfg("; designs\n[A]\nF1=1000\nD1=100\n[B]\nF1=1500\nD1=200\n[C]\nF1=700\nD1=50\n");
    BeepEditorModel m(deps());
    EXPECT_FALSE(m.removeSelected()) << "nothing selected";
    ASSERT_TRUE(m.select(QStringLiteral("B")));
    answer = false;
    EXPECT_FALSE(m.removeSelected());
    EXPECT_EQ(IniFile(cfg).sections(), (QStringList{"A", "B", "C"}));
    ASSERT_TRUE(m.select(QStringLiteral("B")));
    answer = true;
    EXPECT_TRUE(m.removeSelected());
    EXPECT_EQ(questions.last(), QStringLiteral("Really delete entry?\nB"));
    EXPECT_EQ(m.designs(), (QStringList{"A", "C"}));
    EXPECT_TRUE(m.selected().isEmpty());
    EXPECT_EQ(readAll(cfg).replace("\r\n", "\n"), QByteArray("; designs\n[A]\nF1=1000\nD1=100\n[C]\nF1=700\nD1=50\n"));
}

TEST_F(BeepEditorTest, PreviewDeviceChoiceIsRememberedAndValidated)
{
    struct Case {
        const char* stored;
        int expected;
    };
    const Case cases[] = {{"1", 1}, {"0", 0}, {"2", -1}, {"-1", -1}, {"x", 0}, {"", 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        settings.setValue(QStringLiteral("AUDIO_PREV_DEV"), QLatin1String(c.stored));
        BeepEditorModel m(deps());
        EXPECT_EQ(m.device(), c.expected);
        EXPECT_EQ(m.playEnabled(), c.expected >= 0);
    }
    BeepEditorModel m(deps());
    m.chooseDevice(1);
    EXPECT_EQ(settings.value(QStringLiteral("AUDIO_PREV_DEV")), QStringLiteral("1"));
    m.chooseDevice(-1);
    EXPECT_FALSE(m.playEnabled());
    EXPECT_EQ(settings.value(QStringLiteral("AUDIO_PREV_DEV")), QStringLiteral("1"));

    // Without a device the file is rendered and nothing plays.
    m.fields() = fields("1000", "100");
    EXPECT_EQ(m.preview(), BeepEditorModel::PreviewResult::NoDevice);
    EXPECT_TRUE(QFileInfo::exists(m.previewFile()));
    EXPECT_TRUE(playerLog.isEmpty());
    m.chooseDevice(1);
    EXPECT_EQ(m.preview(), BeepEditorModel::PreviewResult::Played);
    EXPECT_EQ(playerLog, QStringList{QStringLiteral("play _ROGER[preview].wav 1 100")});
}

// The real sound card path: on a machine without a sound device it reports a failure
// instead of crashing, and closing the window releases the player.
TEST_F(BeepEditorTest, PreviewOnTheSoundCardWithoutADeviceDoesNotCrash)
{
    BeepEditorModel::Deps d = deps();
    d.makePlayer = nullptr;
    d.outputDevices = [] { return QStringList{QStringLiteral("Phantom")}; };
    settings.setValue(QStringLiteral("AUDIO_PREV_DEV"), QStringLiteral("0"));
    BeepEditorWindow w(std::move(d));
    w.frequencyEdit(0)->setText(QStringLiteral("1000"));
    w.durationEdit(0)->setText(QStringLiteral("50"));
    ASSERT_TRUE(w.playButton()->isEnabled());
    w.play();
    QString detail;
    const auto r = w.model().preview(&detail);
    EXPECT_TRUE(r == BeepEditorModel::PreviewResult::Played || r == BeepEditorModel::PreviewResult::PlayFailed);
    if (r == BeepEditorModel::PreviewResult::PlayFailed) {
        EXPECT_FALSE(detail.isEmpty());
    }
    w.close();
    EXPECT_TRUE(QFileInfo::exists(w.model().previewFile()));
}

TEST_F(BeepEditorTest, WindowFollowsTheEnablingRules)
{
    writeCfg("[Three]\nF1=1000\nD1=100\nB2=1\nF2=800\nD2=90\nP2=20\nB3=1\nF3=600\nD3=80\nP3=30\n");
    settings.setValue(QStringLiteral("AUDIO_PREV_DEV"), QStringLiteral("5"));
    BeepEditorWindow w(deps());
    w.resize(720, 420);
    EXPECT_FALSE(w.deleteButton()->isEnabled());
    EXPECT_FALSE(w.tone3Box()->isEnabled());
    EXPECT_FALSE(w.frequencyEdit(1)->isEnabled());
    EXPECT_FALSE(w.playButton()->isEnabled()) << "remembered device 5 of 2";
    EXPECT_EQ(w.deviceBox()->currentIndex(), -1);
    ASSERT_EQ(w.designList()->topLevelItemCount(), 1);

    w.selectDesign(QStringLiteral("Three"));
    EXPECT_EQ(w.frequencyEdit(2)->text(), QStringLiteral("600"));
    EXPECT_EQ(w.pauseEdit(1)->text(), QStringLiteral("20"));
    EXPECT_TRUE(w.nameEdit()->isReadOnly());
    EXPECT_EQ(w.nameEdit()->text(), QStringLiteral("Three"));
    EXPECT_TRUE(w.deleteButton()->isEnabled());
    EXPECT_TRUE(w.frequencyEdit(2)->isEnabled());

    const QString shot = QDir::tempPath() + QStringLiteral("/rd_beepeditor.png");
    w.grab().save(shot);

    w.tone2Box()->click(); // off: tone 3 goes off with it
    EXPECT_FALSE(w.tone3Box()->isChecked());
    EXPECT_FALSE(w.tone3Box()->isEnabled());
    EXPECT_FALSE(w.frequencyEdit(2)->isEnabled());
    EXPECT_FALSE(w.pauseEdit(1)->isEnabled());

    w.deviceBox()->setCurrentIndex(1);
    EXPECT_TRUE(w.playButton()->isEnabled());
    EXPECT_EQ(settings.value(QStringLiteral("AUDIO_PREV_DEV")), QStringLiteral("1"));

    w.designList()->clearSelection(); // deselected: empty and editable
    EXPECT_TRUE(w.frequencyEdit(0)->text().isEmpty());
    EXPECT_FALSE(w.nameEdit()->isReadOnly());
    EXPECT_FALSE(w.deleteButton()->isEnabled());

    // Typing a new design and saving it through the window.
    w.frequencyEdit(0)->setText(QStringLiteral("1234"));
    w.durationEdit(0)->setText(QStringLiteral("120"));
    w.nameEdit()->setText(QStringLiteral("Typed"));
    w.save();
    EXPECT_EQ(w.designList()->topLevelItemCount(), 2);
    EXPECT_EQ(IniFile(cfg).readString(QStringLiteral("Typed"), QStringLiteral("F1")), QStringLiteral("1234"));
    EXPECT_TRUE(w.nameEdit()->text().isEmpty());
    EXPECT_TRUE(errors.isEmpty());
}

} // namespace
