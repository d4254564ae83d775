// The application setup window: settings written at once with bad port numbers refused,
// saving on close, the plugin version list, installing the plugin into a folder and
// fetching new versions from the directory service.
#include "app/config/texts.h"
#include "app/directory/directoryclient.h"
#include "app/directory/tests/standin.h"
#include "app/ui/appsetup_model.h"
#include "app/ui/appsetupwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <optional>

using namespace appsetup;

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

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString md5Of(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

SettingsList defaults()
{
    SettingsList s;
    s.setValue(QStringLiteral("appLang"), QStringLiteral("de_DE"));
    s.setValue(QStringLiteral("appMAXWin"), QStringLiteral("True"));
    s.setValue(QStringLiteral("appMINWin"), QStringLiteral("False"));
    s.setValue(QStringLiteral("appExitDlg"), QStringLiteral("True"));
    s.setValue(QStringLiteral("LINK_PORT"), QStringLiteral("26001"));
    s.setValue(QStringLiteral("LINK_EXIT"), QStringLiteral("True"));
    s.setValue(QStringLiteral("HTTP_PORT"), QStringLiteral("8011"));
    s.setValue(QStringLiteral("HTTP_ACTIVE"), QStringLiteral("False"));
    return s;
}

// A directory service that serves files from memory and counts downloads. It answers
// before the call returns, or (later) only when the test lets the oldest request through.
class FakeService : public PluginUpdateService {
public:
    QList<PluginListEntry> list;
    QHash<QString, QByteArray> files; // ident/file -> bytes served
    QStringList downloads;
    bool later = false;
    std::deque<std::function<void()>> out; // requests not answered yet
    size_t mostOut = 0;

    void pluginList(ListDone done) override
    {
        reply([this, done] { done(true, list, QString()); });
    }
    void download(const PluginListEntry& e, const QString& target, DownloadDone done) override
    {
        downloads << e.ident + QLatin1Char('/') + e.file;
        const QString key = e.ident + QLatin1Char('/') + e.file;
        reply([this, key, target, done] {
            const auto it = files.constFind(key);
            if (it == files.constEnd())
                done(false, QStringLiteral("404"));
            else
                done(writeFile(target, *it), QString());
        });
    }
    // Answers the oldest request; false when none is out.
    bool answerNext()
    {
        if (out.empty())
            return false;
        const std::function<void()> answer = out.front();
        out.pop_front();
        answer();
        return true;
    }

private:
    void reply(std::function<void()> answer)
    {
        if (!later) {
            answer();
            return;
        }
        out.push_back(std::move(answer));
        mostOut = std::max(mostOut, out.size());
    }
};

// Runs an update check to its end, answering the fake's requests one by one.
UpdateCheck runCheck(FakeService& service, const QString& base)
{
    std::optional<UpdateCheck> result;
    CheckForPluginUpdates(service, base, [&result](const UpdateCheck& r) {
        EXPECT_FALSE(result.has_value()) << "done ran twice";
        result = r;
    });
    while (!result && service.answerNext()) {
    }
    EXPECT_TRUE(result.has_value());
    EXPECT_TRUE(service.out.empty());
    return result.value_or(UpdateCheck{});
}

class AppSetupTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    SettingsList settings = defaults();
    int saves = 0;
    QStringList messages, questions, reported;
    QString chosenFolder;
    bool answer = true;

    void SetUp() override
    {
        ensureApp();
        SetAppLang(QStringLiteral("en_US"));
    }
    void TearDown() override { SetAppLang(QStringLiteral("de_DE")); }

    QString path(const QString& rel) const { return dir.path() + QLatin1Char('/') + rel; }

    AppSetupWindow::Deps deps()
    {
        AppSetupWindow::Deps d;
        d.settings = &settings;
        d.pluginDir = path(QStringLiteral("ts3plugin/"));
        d.bundledPlugin = path(QStringLiteral("bin/Relaydeck_Link.so"));
        d.save = [this] {
            ++saves;
            return true;
        };
        d.chooseFolder = [this](const QString& start) {
            questions << QStringLiteral("folder from ") + start;
            return chosenFolder;
        };
        d.ask = [this](const QString& q) {
            questions << q;
            return answer;
        };
        d.message = [this](bool error, const QString& text) {
            messages << (error ? QStringLiteral("E: ") : QStringLiteral("I: ")) + text;
        };
        d.reportError = [this](const QString& text) { reported << text; };
        return d;
    }
};

TEST_F(AppSetupTest, PagesWriteTheirSettingsAtOnce)
{
    AppSetupWindow w(deps());
    EXPECT_EQ(w.currentPage(), AppSetupWindow::GeneralPage);
    EXPECT_TRUE(w.startOptionButton(StartOption::Maximized)->isChecked());

    w.startOptionButton(StartOption::Minimized)->click();
    EXPECT_EQ(settings.value(QStringLiteral("appMAXWin")), QStringLiteral("False"));
    EXPECT_EQ(settings.value(QStringLiteral("appMINWin")), QStringLiteral("True"));
    w.startOptionButton(StartOption::Normal)->click();
    EXPECT_EQ(settings.value(QStringLiteral("appMAXWin")), QStringLiteral("False"));
    EXPECT_EQ(settings.value(QStringLiteral("appMINWin")), QStringLiteral("False"));
    w.startOptionButton(StartOption::Maximized)->click();
    EXPECT_EQ(settings.value(QStringLiteral("appMAXWin")), QStringLiteral("True"));

    w.endClientBox()->click();
    EXPECT_EQ(settings.value(QStringLiteral("LINK_EXIT")), QStringLiteral("False"));
    w.exitQuestionBox()->click();
    EXPECT_EQ(settings.value(QStringLiteral("appExitDlg")), QStringLiteral("False"));
    w.linkExeEdit()->setText(QStringLiteral("/opt/teamspeak3/ts3client_runscript.sh"));
    EXPECT_EQ(settings.value(QStringLiteral("LINK_EXE")), QStringLiteral("/opt/teamspeak3/ts3client_runscript.sh"));
    w.httpActiveBox()->click();
    EXPECT_EQ(settings.value(QStringLiteral("HTTP_ACTIVE")), QStringLiteral("True"));

    // The language is stored; the texts keep theirs until the next start.
    w.showPage(AppSetupWindow::LanguagePage);
    ASSERT_EQ(w.languageBox()->currentText(), QStringLiteral("English"));
    const int german = w.languageBox()->findData(QStringLiteral("de_DE"));
    ASSERT_GE(german, 0);
    w.languageBox()->setCurrentIndex(german);
    emit w.languageBox()->activated(german);
    EXPECT_EQ(settings.value(QStringLiteral("appLang")), QStringLiteral("de_DE"));
    EXPECT_EQ(AppLang(), QStringLiteral("en_US"));
    EXPECT_EQ(w.pageButton(0)->text(), QStringLiteral("General"));
    EXPECT_TRUE(messages.isEmpty());

    // A start option read back: minimized only when not maximized.
    SettingsList s = defaults();
    s.setValue(QStringLiteral("appMAXWin"), QStringLiteral("False"));
    s.setValue(QStringLiteral("appMINWin"), QStringLiteral("1"));
    EXPECT_EQ(AppSetupModel(s).startOption(), StartOption::Minimized);
    s.setValue(QStringLiteral("appMAXWin"), QStringLiteral("true"));
    EXPECT_EQ(AppSetupModel(s).startOption(), StartOption::Maximized);
}

TEST_F(AppSetupTest, BadPortNumbersAreNotStored)
{
    AppSetupWindow w(deps());
    struct Case {
        const char* typed;
        const char* stored; // LINK_PORT and HTTP_PORT afterwards
    };
    const Case cases[] = {
        {"8080", "8080"},   {"0", "8080"},      {"", "8080"}, {"26002", "26002"}, {"65535", "65535"},
        {"65536", "65535"}, {"99999", "65535"}, {"1", "1"},   {"0080", "80"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        const bool usable = AppSetupModel::portNumber(QLatin1String(c.typed)) > 0;
        for (QLineEdit* edit : {w.linkPortEdit(), w.httpPortEdit()}) {
            edit->setText(QLatin1String(c.typed));
            EXPECT_EQ(edit->styleSheet().isEmpty(), usable) << "an unusable port is marked";
        }
        EXPECT_EQ(settings.value(QStringLiteral("LINK_PORT")), QLatin1String(c.stored));
        EXPECT_EQ(settings.value(QStringLiteral("HTTP_PORT")), QLatin1String(c.stored));
    }
    // A bad port already in main.cfg is marked when the window opens.
    settings.setValue(QStringLiteral("HTTP_PORT"), QStringLiteral("70000"));
    AppSetupWindow again(deps());
    EXPECT_EQ(again.httpPortEdit()->text(), QStringLiteral("70000"));
    EXPECT_FALSE(again.httpPortEdit()->styleSheet().isEmpty());
    EXPECT_TRUE(again.linkPortEdit()->styleSheet().isEmpty());
    // Typed text that the field refuses never reaches the model; the model itself checks too.
    AppSetupModel m(settings);
    for (const char* bad : {"abc", "-1", "12a", "1e3", "٣"})
        EXPECT_FALSE(m.setLinkPort(QString::fromUtf8(bad))) << bad;
    EXPECT_EQ(settings.value(QStringLiteral("LINK_PORT")), QStringLiteral("80"));
}

TEST_F(AppSetupTest, ClosingSavesOnceAndTheSaveButtonCloses)
{
    {
        AppSetupWindow w(deps());
        w.show();
        w.close();
        EXPECT_EQ(saves, 1);
    }
    {
        AppSetupWindow w(deps());
        w.show();
        w.saveAndClose();
        EXPECT_EQ(saves, 2);
        EXPECT_FALSE(w.isVisible());
    }
    EXPECT_TRUE(messages.isEmpty());
    {
        AppSetupWindow::Deps d = deps();
        d.save = [] { return false; };
        AppSetupWindow w(std::move(d));
        w.show();
        w.close();
        EXPECT_EQ(messages, QStringList{QStringLiteral("E: main.cfg could not be written.")});
    }
}

TEST_F(AppSetupTest, PluginVersionListShowsDateAndSize)
{
    struct Size {
        qint64 bytes;
        const char* text;
    };
    for (const Size& s : {Size{0, "0 Bytes"}, Size{1024, "1024 Bytes"}, Size{1025, "1 KB"}, Size{2047, "1 KB"},
                          Size{2048, "2 KB"}, Size{5'000'000, "4882 KB"}})
        EXPECT_EQ(PluginSizeText(s.bytes), QLatin1String(s.text)) << s.bytes;

    ASSERT_TRUE(writeFile(path("bin/Relaydeck_Link.so"), QByteArray(1025, 'x')));
    ASSERT_TRUE(writeFile(path("ts3plugin/4.0.2/Setup.so"), QByteArray(1024, 'y')));
    ASSERT_TRUE(writeFile(path("ts3plugin/4.0.1/Setup.so"), QByteArray(10, 'z')));
    ASSERT_TRUE(writeFile(path("ts3plugin/3.9.9/other.bin"), "not a plugin"));
    QFile f(path("ts3plugin/4.0.1/Setup.so"));
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(QDateTime(QDate(2024, 3, 7), QTime(12, 0)), QFileDevice::FileModificationTime));
    f.close();

    AppSetupWindow w(deps());
    w.showPage(AppSetupWindow::PluginPage);
    QTreeWidget* list = w.pluginList();
    ASSERT_EQ(list->topLevelItemCount(), 3);
    EXPECT_EQ(list->topLevelItem(0)->text(0), GetGeneralText(QStringLiteral("VERS")));
    EXPECT_EQ(list->topLevelItem(0)->text(2), QStringLiteral("1 KB"));
    EXPECT_EQ(list->topLevelItem(1)->text(0), QStringLiteral("4.0.1"));
    EXPECT_EQ(list->topLevelItem(1)->text(1), QStringLiteral("7.03.2024"));
    EXPECT_EQ(list->topLevelItem(1)->text(2), QStringLiteral("10 Bytes"));
    EXPECT_EQ(list->topLevelItem(2)->text(0), QStringLiteral("4.0.2"));
    EXPECT_EQ(list->topLevelItem(2)->text(2), QStringLiteral("1024 Bytes"));
}

TEST_F(AppSetupTest, InstallCopiesThePluginIntoTheChosenFolder)
{
    const QByteArray plugin("\x7f"
                            "ELF plugin v1",
                            14);
    ASSERT_TRUE(writeFile(path("bin/Relaydeck_Link.so"), plugin));
    ASSERT_TRUE(QDir().mkpath(path("ts3client/plugins")));
    chosenFolder = path("ts3client/plugins");

    AppSetupWindow w(deps());
    w.showPage(AppSetupWindow::PluginPage);
    w.installVersion(0);
    ASSERT_EQ(messages, QStringList{QStringLiteral("I: OK")});
    const QString target = path("ts3client/plugins/Relaydeck_Link.so");
    EXPECT_EQ(readFile(target), plugin);
    EXPECT_TRUE(QFileInfo(target).isExecutable());
    EXPECT_EQ(settings.value(QStringLiteral("selPlugDir")), chosenFolder + QLatin1Char('/'));
    ASSERT_EQ(questions.size(), 2);
    EXPECT_TRUE(questions[0].endsWith(QDir::homePath() + QStringLiteral("/.ts3client/plugins/")))
        << questions[0].toStdString();
    EXPECT_EQ(questions[1], GetGeneralText(QStringLiteral("VERS")) +
                                QStringLiteral("\rInstall TS3-Plugin to Folder\r\r") + chosenFolder);

    // The next install starts in the folder used last; No and Cancel change nothing.
    questions.clear();
    messages.clear();
    answer = false;
    w.installVersion(0);
    EXPECT_EQ(questions[0], QStringLiteral("folder from ") + chosenFolder + QLatin1Char('/'));
    chosenFolder.clear();
    w.installVersion(0);
    EXPECT_TRUE(messages.isEmpty());

    // Replacing an older plugin leaves no temporary files behind.
    answer = true;
    chosenFolder = path("ts3client/plugins");
    ASSERT_TRUE(writeFile(path("bin/Relaydeck_Link.so"), "v2"));
    w.installVersion(0);
    EXPECT_EQ(readFile(target), QByteArray("v2"));
    EXPECT_EQ(QDir(chosenFolder).entryList(QDir::Files), QStringList{QStringLiteral("Relaydeck_Link.so")});
}

TEST_F(AppSetupTest, InstallReportsMissingFilesAndFoldersAndAPluginInUse)
{
    const QString source = path("ts3plugin/4.0.2/Setup.so");
    ASSERT_TRUE(writeFile(source, "new plugin"));
    const QString folder = path("plugins");
    const QString target = folder + QStringLiteral("/Relaydeck_Link.so");

    InstallResult r = InstallPlugin(path("ts3plugin/9.9.9/Setup.so"), folder);
    EXPECT_EQ(r.status, InstallStatus::SourceMissing);
    EXPECT_TRUE(r.message.startsWith(QStringLiteral("ERROR [CODE:2]")));

    r = InstallPlugin(source, folder);
    EXPECT_EQ(r.status, InstallStatus::FolderMissing);
    EXPECT_TRUE(r.message.contains(QDir::toNativeSeparators(folder))) << r.message.toStdString();
    EXPECT_FALSE(QFileInfo::exists(folder));

    // A running client maps the loaded plugin: the real check finds this process's mapping.
    ASSERT_TRUE(writeFile(target, "old plugin, loaded"));
    EXPECT_FALSE(IsFileInUse(target));
    {
        QFile loaded(target);
        ASSERT_TRUE(loaded.open(QIODevice::ReadOnly));
        uchar* map = loaded.map(0, loaded.size());
        ASSERT_NE(map, nullptr);
        EXPECT_TRUE(IsFileInUse(target));
        r = InstallPlugin(source, folder);
        EXPECT_EQ(r.status, InstallStatus::InUse);
        EXPECT_EQ(r.message,
                  GetText(QStringLiteral("0073")) + QStringLiteral("\n\n") + GetText(QStringLiteral("0074")));
        EXPECT_EQ(readFile(target), QByteArray("old plugin, loaded"));
        loaded.unmap(map);
    }
    EXPECT_FALSE(IsFileInUse(target));

    // A copy that cannot be completed (here: a folder stands where the file goes; also as
    // root) reports the reason and leaves what was there.
    const QString blocked = path("blocked");
    ASSERT_TRUE(QDir().mkpath(blocked + QStringLiteral("/Relaydeck_Link.so/keep")));
    r = InstallPlugin(source, blocked, [](const QString&) { return false; });
    EXPECT_EQ(r.status, InstallStatus::CopyFailed);
    EXPECT_TRUE(r.message.startsWith(QStringLiteral("ERROR [CODE:1]\n\n"))) << r.message.toStdString();
    EXPECT_GT(r.message.size(), 16) << "the reason follows the code";
    EXPECT_TRUE(QFileInfo(blocked + QStringLiteral("/Relaydeck_Link.so/keep")).isDir());
    EXPECT_EQ(QDir(blocked).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("Relaydeck_Link.so")});
    r = InstallPlugin(source, folder);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(readFile(target), QByteArray("new plugin"));
}

// The client generation chosen on the plugin page decides ClientAPI in the plugin's settings
// file, in the folder of the client program (LINK_EXE): written for a 3.3-3.5 client on
// Linux, removed again for the others; the file's other lines stay. The choice is kept.
TEST_F(AppSetupTest, InstallWritesClientApiOnlyWhereTheClientNeedsIt)
{
    ASSERT_TRUE(writeFile(path("bin/Relaydeck_Link.so"), "plugin"));
    ASSERT_TRUE(writeFile(path("client/ts3client_linux_amd64"), "client"));
    ASSERT_TRUE(QDir().mkpath(path("plugins")));
    const QString ini = path("client/Relaydeck[LINK].ini");
    ASSERT_TRUE(writeFile(ini, "[LINKSettings]\r\nPORT=26123\r\n"));
    chosenFolder = path("plugins");
    settings.setValue(QStringLiteral("LINK_EXE"), path("client/ts3client_linux_amd64"));

    AppSetupWindow w(deps());
    w.showPage(AppSetupWindow::PluginPage);
    ASSERT_NE(w.clientGenerationBox(), nullptr);
    EXPECT_EQ(w.clientGenerationBox()->currentText(), QStringLiteral("3.6"));
    struct Row {
        const char* generation;
        const char* file;    // the settings file afterwards
        const char* message; // after "OK"
    };
    const Row rows[] = {
        {"3.6", "[LINKSettings]\r\nPORT=26123\r\n", ""},
        {"3.5", "[LINKSettings]\r\nPORT=26123\r\nClientAPI=24\r\n", "\rClientAPI=24 written to "},
        {"3.3", "[LINKSettings]\r\nPORT=26123\r\nClientAPI=23\r\n", "\rClientAPI=23 written to "},
        {"3.1", "[LINKSettings]\r\nPORT=26123\r\n", "\rClientAPI=23 removed from "},
        {"3.5", "[LINKSettings]\r\nPORT=26123\r\nClientAPI=24\r\n", "\rClientAPI=24 written to "},
        {"3.6", "[LINKSettings]\r\nPORT=26123\r\n", "\rClientAPI=24 removed from "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.generation);
        messages.clear();
        w.clientGenerationBox()->setCurrentText(QLatin1String(row.generation));
        w.installVersion(0);
        const QString message = *row.message ? QLatin1String(row.message) + ini : QString();
        EXPECT_EQ(messages, QStringList{QStringLiteral("I: OK") + message});
        EXPECT_EQ(readFile(ini), QByteArray(row.file));
    }
    EXPECT_EQ(settings.value(QStringLiteral("LINK_CLIENT_GEN")), QStringLiteral("3.6"));
    settings.setValue(QStringLiteral("LINK_CLIENT_GEN"), QStringLiteral("3.5"));
    AppSetupWindow again(deps());
    EXPECT_EQ(again.clientGenerationBox()->currentText(), QStringLiteral("3.5"));
    again.showPage(AppSetupWindow::PluginPage);

    // Without a client program the client installation the plugin folder belongs to counts.
    settings.setValue(QStringLiteral("LINK_EXE"), QString());
    ASSERT_TRUE(writeFile(path("install/ts3client_runscript.sh"), "#!/bin/sh"));
    ASSERT_TRUE(QDir().mkpath(path("install/plugins")));
    chosenFolder = path("install/plugins");
    messages.clear();
    again.installVersion(0);
    EXPECT_EQ(messages,
              QStringList{QStringLiteral("I: OK\rClientAPI=24 written to ") + path("install/Relaydeck[LINK].ini")});
    EXPECT_EQ(readFile(path("install/Relaydeck[LINK].ini")), QByteArray("[LINKSettings]\r\nClientAPI=24\r\n"));

    // Neither: a 3.5 client would not load the plugin, so nothing is copied and the message
    // says where to name the client. Today's client needs no key and no folder.
    chosenFolder = path("plugins");
    ASSERT_TRUE(QFile::remove(path("plugins/Relaydeck_Link.so")));
    messages.clear();
    again.installVersion(0);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("E: A TeamSpeak client 3.5 on Linux needs ClientAPI=24 ")))
        << messages[0].toStdString();
    EXPECT_TRUE(messages[0].endsWith(QStringLiteral("\r\rEnter the client program as \"TS3-Client-EXE\" on the page "
                                                    "\"General\".")))
        << messages[0].toStdString();
    EXPECT_FALSE(QFileInfo::exists(path("plugins/Relaydeck_Link.so")));
    again.clientGenerationBox()->setCurrentText(QStringLiteral("3.6"));
    messages.clear();
    again.installVersion(0);
    EXPECT_EQ(messages, QStringList{QStringLiteral("I: OK")});
}

TEST(ClientGeneration, NumberTheInstallersWriteOnLinux)
{
    const struct {
        const char* text;
        int minor;
        int needed;
    } rows[] = {
        {"3.1", 1, 0},    {"3.2.5", 2, 0}, {"3.3", 3, 23},  {"3.4", 4, 24},  {"3.5", 5, 24},
        {"3.5.6", 5, 24}, {"3.6", 6, 0},   {" 3.6 ", 6, 0}, {"3.7", 7, 0},   {"3", -1, 0},
        {"3.x", -1, 0},   {"4.0", -1, 0},  {"3.10", -1, 0}, {"3.6.", -1, 0}, {"", -1, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        EXPECT_EQ(ClientGenerationMinor(QLatin1String(r.text)), r.minor);
        EXPECT_EQ(ClientApiNeeded(QLatin1String(r.text)), r.needed);
    }
}

// The same whether the service answers at once or later, one request at a time.
TEST_F(AppSetupTest, UpdateCheckDownloadsOnlyWhatIsMissingOrDamaged)
{
    for (const bool later : {false, true}) {
        SCOPED_TRACE(later ? "answers later" : "answers at once");
        const QString base = path(later ? QStringLiteral("later/ts3plugin/") : QStringLiteral("ts3plugin/"));
        const QByteArray good("plugin 4.0.2 bytes"), newer("plugin 4.0.3 bytes");
        FakeService service;
        service.later = later;
        service.list = {
            {QStringLiteral("4.0.2a"), md5Of(good), QString(), QStringLiteral("Setup.so.1")},  // present and intact
            {QStringLiteral("4.0.3a"), md5Of(newer), QString(), QStringLiteral("Setup.so.1")}, // new
            {QStringLiteral("4.0"), md5Of(newer), QString(), QStringLiteral("Setup.so.1")},    // ident too short
            {QStringLiteral("4.0.4a"), md5Of(newer), QString(), QStringLiteral("S.so")},       // file name too short
        };
        service.files.insert(QStringLiteral("4.0.2a/Setup.so.1"), good);
        service.files.insert(QStringLiteral("4.0.3a/Setup.so.1"), newer);
        ASSERT_TRUE(writeFile(base + QStringLiteral("4.0.2a/Setup.so.1"), good));

        UpdateCheck r = runCheck(service, base);
        EXPECT_EQ(service.downloads, QStringList{QStringLiteral("4.0.3a/Setup.so.1")});
        EXPECT_EQ(r.downloaded, 1);
        EXPECT_EQ(r.failed, 0);
        EXPECT_EQ(readFile(base + QStringLiteral("4.0.3a/Setup.so.1")), newer);
        ASSERT_EQ(r.boxes().size(), 1);
        EXPECT_EQ(r.boxes()[0].text, QStringLiteral("1 => Download successfully"));

        // Again: nothing new.
        service.downloads.clear();
        r = runCheck(service, base);
        EXPECT_TRUE(service.downloads.isEmpty());
        ASSERT_EQ(r.boxes().size(), 1);
        EXPECT_FALSE(r.boxes()[0].error);
        EXPECT_EQ(r.boxes()[0].text, QStringLiteral("No new Updates available"));

        // A damaged file is deleted and fetched again; a download that fails or brings other
        // bytes counts as failed and leaves nothing; names leading out of the folder are refused.
        ASSERT_TRUE(writeFile(base + QStringLiteral("4.0.2a/Setup.so.1"), "damaged"));
        service.list.append({QStringLiteral("4.0.5a"), md5Of("x"), QString(), QStringLiteral("Setup.so.1")}); // 404
        service.list.append({QStringLiteral("4.0.6a"), md5Of("x"), QString(), QStringLiteral("Setup.so.6")});
        service.files.insert(QStringLiteral("4.0.6a/Setup.so.6"), "not x");
        service.list.append({QStringLiteral("../../evil"), md5Of("x"), QString(), QStringLiteral("Setup.so.1")});
        service.list.append({QStringLiteral("4.0.7a"), md5Of("x"), QString(), QStringLiteral("../../escape.so")});
        service.downloads.clear();
        r = runCheck(service, base);
        EXPECT_EQ(service.downloads, (QStringList{"4.0.2a/Setup.so.1", "4.0.5a/Setup.so.1", "4.0.6a/Setup.so.6"}));
        EXPECT_EQ(readFile(base + QStringLiteral("4.0.2a/Setup.so.1")), good);
        EXPECT_FALSE(QFileInfo::exists(base + QStringLiteral("4.0.6a/Setup.so.6")));
        EXPECT_FALSE(QFileInfo::exists(path("evil")));
        EXPECT_FALSE(QFileInfo::exists(path("later/evil")));
        EXPECT_EQ(r.downloaded, 1);
        EXPECT_EQ(r.failed, 4);
        ASSERT_EQ(r.boxes().size(), 2);
        EXPECT_TRUE(r.boxes()[0].error);
        EXPECT_EQ(r.boxes()[0].text, QStringLiteral("4 => Download failed"));
        EXPECT_EQ(r.boxes()[1].text, QStringLiteral("1 => Download successfully"));
        EXPECT_LE(service.mostOut, 1u);
    }
}

TEST_F(AppSetupTest, CheckForUpdatesWithoutTheDirectoryServiceFailsWithAMessage)
{
    AppSetupWindow w(deps()); // no service: this build cannot reach the directory
    w.showPage(AppSetupWindow::PluginPage);
    w.checkUpdatesButton()->click();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("E: "))) << messages[0].toStdString();
    EXPECT_EQ(reported.size(), 1);
    EXPECT_FALSE(QFileInfo::exists(path("ts3plugin")));
}

// A local stand-in of the directory service with one plugin version to offer.
struct PluginStandIn {
    QByteArray plugin = [] {
        QByteArray bytes(6000, '\0');
        for (int i = 0; i < bytes.size(); ++i)
            bytes[i] = char(i * 7);
        return bytes;
    }();
    DirectoryStandIn service;
    DirectoryClient client;
    static constexpr const char* kList = "/_apis/relayd4/_updates/ts3plugin.php";
    static constexpr const char* kDownload = "/_apis/relayd4/_updates/download.php";

    PluginStandIn()
    {
        const QString md5 =
            QString::fromLatin1(QCryptographicHash::hash(plugin, QCryptographicHash::Md5).toHex().toUpper());
        service.answer(kList, {200,
                               "<relayd4><plugin><ident>4.1.0-beta</ident><md5>" + md5.toStdString() +
                                   "</md5><sha1>-</sha1><file>Setup.so</file></plugin></relayd4>",
                               ""});
        service.answer(kDownload, {200, plugin.toBase64().toStdString(), ""});
        client.setServiceUrl(service.url());
        client.setLogSink([](const QString&) {});
    }
    std::function<std::unique_ptr<PluginUpdateService>()> factory()
    {
        return [this] { return MakeDirectoryPluginService(&client, QStringLiteral("{APP-UID}")); };
    }
};

// The whole path over HTTP: list and download from a local stand-in of the service, the
// new version offered for installation afterwards; an unreachable service is an error.
TEST_F(AppSetupTest, UpdatesThroughTheDirectoryClient)
{
    PluginStandIn standIn;
    DirectoryStandIn& service = standIn.service;
    AppSetupWindow::Deps d = deps();
    d.service = standIn.factory();
    AppSetupWindow w(std::move(d));
    w.showPage(AppSetupWindow::PluginPage);
    EXPECT_EQ(w.pluginList()->topLevelItemCount(), 0);
    w.checkUpdatesButton()->click();
    EXPECT_TRUE(w.checkingForUpdates());
    EXPECT_TRUE(messages.isEmpty()) << "the click returned before the answer";
    ASSERT_TRUE(processUntil([&] { return !w.checkingForUpdates(); }));
    EXPECT_EQ(messages, QStringList{QStringLiteral("I: 1 => Download successfully")});
    EXPECT_EQ(readFile(path("ts3plugin/4.1.0-beta/Setup.so")), standIn.plugin);
    ASSERT_EQ(w.pluginList()->topLevelItemCount(), 1);
    EXPECT_EQ(w.pluginList()->topLevelItem(0)->text(0), QStringLiteral("4.1.0-beta"));
    EXPECT_EQ(w.pluginList()->topLevelItem(0)->text(2), QStringLiteral("5 KB"));

    const std::vector<SeenRequest> seen = service.seen();
    ASSERT_EQ(seen.size(), 2u);
    auto form = [](const SeenRequest& r, const char* key) {
        const auto it = r.form.find(key);
        return it == r.form.end() ? std::string("<none>") : it->second;
    };
    EXPECT_EQ(form(seen[0], "action"), QByteArray("SHOW-NEW").toBase64().toStdString());
    EXPECT_EQ(form(seen[0], "appUID"), "{APP-UID}");
    EXPECT_EQ(form(seen[1], "action"), QByteArray("DOWNLOAD").toBase64().toStdString());
    EXPECT_EQ(form(seen[1], "plugVERS"), "4.1.0-beta");
    EXPECT_EQ(form(seen[1], "plugFILE"), "Setup.so");

    // Asked again: the intact file is not fetched a second time.
    messages.clear();
    w.checkUpdatesButton()->click();
    ASSERT_TRUE(processUntil([&] { return !w.checkingForUpdates(); }));
    EXPECT_EQ(messages, QStringList{QStringLiteral("I: No new Updates available")});
    EXPECT_EQ(service.count(), 3u);

    // A download that does not arrive intact: a failure box, nothing left in the folder.
    messages.clear();
    QFile::remove(path("ts3plugin/4.1.0-beta/Setup.so"));
    service.answer(PluginStandIn::kDownload, {200, std::string(6000, 'B'), ""});
    w.checkUpdatesButton()->click();
    ASSERT_TRUE(processUntil([&] { return !w.checkingForUpdates(); }));
    EXPECT_EQ(messages, QStringList{QStringLiteral("E: 1 => Download failed")});
    EXPECT_TRUE(QDir(path("ts3plugin/4.1.0-beta")).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(reported.isEmpty());

    // Nobody listening: an error box and the error hook, nothing else changes.
    messages.clear();
    standIn.client.setServiceUrl(QStringLiteral("http://127.0.0.1:%1/").arg(service.port() == 1 ? 2 : 1));
    standIn.client.setTimeout(3000);
    w.checkUpdatesButton()->click();
    ASSERT_TRUE(processUntil([&] { return !w.checkingForUpdates(); }));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("E: Directory service: "))) << messages[0].toStdString();
    EXPECT_EQ(reported.size(), 1);
    EXPECT_EQ(w.pluginList()->topLevelItemCount(), 1);
}

// While the service takes its time the window goes on (its timers run), shows that it is
// waiting, and a second click asks nothing; the answer then ends the wait as usual.
TEST_F(AppSetupTest, UpdateCheckWaitsWithoutBlockingAndTakesOneClickAtATime)
{
    PluginStandIn standIn;
    standIn.service.hold();
    AppSetupWindow::Deps d = deps();
    d.service = standIn.factory();
    AppSetupWindow w(std::move(d));
    w.showPage(AppSetupWindow::PluginPage);
    EXPECT_EQ(w.directoryStateText(), QString());

    w.checkUpdatesButton()->click();
    EXPECT_TRUE(w.checkingForUpdates());
    EXPECT_FALSE(w.checkUpdatesButton()->isEnabled());
    EXPECT_EQ(w.directoryStateText(), QStringLiteral("Asking the directory service …"));
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(5);
    ASSERT_TRUE(processUntil([&] { return standIn.service.count() == 1 && ticks >= 3; }));
    w.checkUpdatesButton()->click();
    w.checkForUpdates(); // also when called directly
    QCoreApplication::processEvents();
    EXPECT_EQ(standIn.service.count(), 1u);
    EXPECT_TRUE(messages.isEmpty());

    standIn.service.release();
    ASSERT_TRUE(processUntil([&] { return !w.checkingForUpdates(); }));
    EXPECT_EQ(messages, QStringList{QStringLiteral("I: 1 => Download successfully")});
    EXPECT_EQ(standIn.service.count(), 2u);
    EXPECT_TRUE(w.checkUpdatesButton()->isEnabled());
    EXPECT_EQ(w.directoryStateText(), QString());
}

// A window closed, or deleted, while a request is out: no message, no error, no file, and
// the answer that comes afterwards finds nothing to call.
TEST_F(AppSetupTest, ClosingTheWindowDuringACheckDropsTheAnswers)
{
    for (const bool destroy : {false, true}) {
        SCOPED_TRACE(destroy ? "deleted" : "closed");
        PluginStandIn standIn;
        standIn.service.hold(PluginStandIn::kDownload); // the list comes, the file does not yet
        AppSetupWindow::Deps d = deps();
        d.service = standIn.factory();
        QPointer<AppSetupWindow> w = new AppSetupWindow(std::move(d));
        w->show();
        w->showPage(AppSetupWindow::PluginPage);
        w->checkUpdatesButton()->click();
        ASSERT_TRUE(processUntil([&] { return standIn.service.count() == 2; }));
        ASSERT_EQ(standIn.client.pending(), 1);
        if (destroy) {
            delete w;
        } else {
            w->close();
            EXPECT_FALSE(w->checkingForUpdates());
            EXPECT_TRUE(w->checkUpdatesButton()->isEnabled());
        }
        standIn.service.release();
        ASSERT_TRUE(processUntil([&] { return standIn.client.pending() == 0; }));
        QCoreApplication::processEvents();
        EXPECT_TRUE(messages.isEmpty()) << messages.join(QLatin1Char('|')).toStdString();
        EXPECT_TRUE(reported.isEmpty());
        EXPECT_FALSE(QFileInfo::exists(path("ts3plugin/4.1.0-beta/Setup.so")));
        delete w;
    }
}

TEST_F(AppSetupTest, Screenshot)
{
    ASSERT_TRUE(writeFile(path("bin/Relaydeck_Link.so"), QByteArray(300000, 'x')));
    ASSERT_TRUE(writeFile(path("ts3plugin/4.0.1/Setup.so"), QByteArray(2000, 'z')));
    AppSetupWindow w(deps());
    w.resize(640, 380);
    for (int page : {int(AppSetupWindow::GeneralPage), int(AppSetupWindow::PluginPage)}) {
        w.showPage(page);
        const QPixmap shot = w.grab();
        EXPECT_FALSE(shot.isNull());
        shot.save(QDir::tempPath() + QStringLiteral("/rd_appsetup_%1.png").arg(page));
    }
}

} // namespace
