// A Qt 5 program in the place of the TeamSpeak client's GUI: it loads Relaydeck_Link as
// the client does and clicks the settings button, ts3plugin_configure with its own main
// window as the parent, on its GUI thread. The dialog is driven from timers that run
// inside the dialog's modal loop, as a user would: typing, Enter, the Save button.
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "plugin/ts3_abi.h"

namespace fs = std::filesystem;

namespace {

std::mutex g_logMutex;
std::vector<std::string> g_log;

unsigned int logMessage(const char* text, LogLevel, const char* channel, uint64)
{
    std::lock_guard<std::mutex> lock(g_logMutex);
    g_log.push_back(std::string(channel ? channel : "") + "|" + (text ? text : ""));
    return 0;
}

std::vector<std::string> takeLog()
{
    std::lock_guard<std::mutex> lock(g_logMutex);
    return std::exchange(g_log, {});
}

// One loaded copy of the plugin library, with the entry points the settings button uses.
struct Plugin {
    explicit Plugin(const std::string& path)
    {
        handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            error = dlerror();
            return;
        }
        offersConfigure = reinterpret_cast<int (*)()>(dlsym(handle, "ts3plugin_offersConfigure"));
        configure = reinterpret_cast<void (*)(void*, void*)>(dlsym(handle, "ts3plugin_configure"));
        auto setFunctions =
            reinterpret_cast<void (*)(const TS3Functions)>(dlsym(handle, "ts3plugin_setFunctionPointers"));
        if (!offersConfigure || !configure || !setFunctions) {
            error = "entry points missing";
            return;
        }
        TS3Functions table;
        std::memset(&table, 0, sizeof table);
        table.logMessage = logMessage;
        setFunctions(table);
    }
    void* handle = nullptr;
    std::string error;
    int (*offersConfigure)() = nullptr;
    void (*configure)(void*, void*) = nullptr;
};

std::string readFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// What the driver saw of the open dialog.
struct Dialog {
    QDialog* window = nullptr;
    QLineEdit* port = nullptr;
    QPushButton* save = nullptr;
    QLabel* error = nullptr;
    QLabel* note = nullptr;
};

// Runs `drive` once the plugin's dialog is open, from inside its modal loop; closes a
// dialog still open 10 s later, so a fault cannot hang the test.
class WhenOpen {
public:
    explicit WhenOpen(std::function<void(Dialog&)> drive) : m_drive(std::move(drive))
    {
        QObject::connect(&m_poll, &QTimer::timeout, [this] { poll(); });
        m_poll.start(20);
    }
    bool opened() const { return m_opened; }

private:
    void poll()
    {
        auto* window = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!window || window->objectName() != QLatin1String("MyForm") || !window->isVisible())
            return;
        m_poll.stop();
        m_opened = true;
        Dialog d;
        d.window = window;
        d.port = window->findChild<QLineEdit*>(QStringLiteral("port"));
        d.save = window->findChild<QPushButton*>(QStringLiteral("save"));
        d.error = window->findChild<QLabel*>(QStringLiteral("error"));
        d.note = window->findChild<QLabel*>(QStringLiteral("note"));
        if (d.port && d.save && d.error && d.note)
            m_drive(d);
        else
            ADD_FAILURE() << "a control of the dialog is missing";
        if (window->isVisible())
            QTimer::singleShot(10000, window, [window] {
                ADD_FAILURE() << "the dialog was still open";
                window->reject();
            });
    }
    std::function<void(Dialog&)> m_drive;
    QTimer m_poll;
    bool m_opened = false;
};

void retype(QLineEdit* edit, const char* text)
{
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, QString::fromLatin1(text));
}

void shot(QWidget* w, const char* name)
{
    const QString dir = QString::fromUtf8(RD_BINARY_DIR) + QStringLiteral("/plugin_dialog");
    QDir().mkpath(dir);
    EXPECT_TRUE(w->grab().save(dir + QLatin1Char('/') + QString::fromLatin1(name))) << name;
}

class DialogInQtHost : public ::testing::Test {
protected:
    void SetUp() override
    {
        old = fs::current_path();
        dir = fs::temp_directory_path() / ("rd_dialog_qt5_" + std::to_string(::getpid()));
        fs::create_directories(dir);
        fs::current_path(dir);
        takeLog();
        client.setWindowTitle(QStringLiteral("TeamSpeak 3"));
        client.resize(640, 420);
        client.show();
    }
    void TearDown() override
    {
        client.hide();
        fs::current_path(old);
        fs::remove_all(dir);
    }
    fs::path old, dir;
    QMainWindow client;
};

// The plugin as built, or another copy of it with its dialog module beside it (the
// package check points RD_PLUGIN_UNDER_TEST at the files unpacked from the package).
const fs::path kPlugin =
    fs::absolute(std::getenv("RD_PLUGIN_UNDER_TEST") ? std::getenv("RD_PLUGIN_UNDER_TEST") : RD_PLUGIN_PATH);
const fs::path kModule = kPlugin.parent_path() / "Relaydeck_Link" / "dialog_qt5.so";

TEST_F(DialogInQtHost, SettingsButtonOpensTheDialogAndSavesOnlyNumbers)
{
    std::ofstream("Relaydeck[LINK].ini", std::ios::binary) << "[LINKSettings]\r\nPORT=26005\r\n";
    const std::string before = readFile("Relaydeck[LINK].ini");
    Plugin plugin(kPlugin.string());
    ASSERT_TRUE(plugin.error.empty()) << plugin.error;
    EXPECT_EQ(plugin.offersConfigure(), PLUGIN_OFFERS_CONFIGURE_QT_THREAD);

    WhenOpen first([&](Dialog& d) {
        EXPECT_EQ(d.window->windowTitle(), QStringLiteral("Relaydeck_LINK"));
        EXPECT_EQ(d.window->parentWidget(), &client);
        EXPECT_TRUE(d.window->isModal());
        EXPECT_FALSE(d.window->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
        EXPECT_EQ(d.port->text(), QStringLiteral("26005"));
        EXPECT_EQ(d.port->maxLength(), 5);
        EXPECT_TRUE(d.save->isDefault());
        EXPECT_EQ(d.save->text(), QStringLiteral("Save"));
        EXPECT_FALSE(d.error->isVisible());
        EXPECT_EQ(d.note->text(), QStringLiteral("IMPORTANT: After saving the Plugin restart..."));
        const QSize size = d.window->size();
        shot(d.window, "dialog_linux.png");

        // "abc" and Enter: the error shows, the dialog stays, the file is untouched.
        retype(d.port, "abc");
        QTest::keyClick(d.port, Qt::Key_Return);
        EXPECT_TRUE(d.error->isVisible());
        EXPECT_EQ(d.error->text(), QStringLiteral("ERROR: Numbers only!!"));
        EXPECT_TRUE(d.window->isVisible());
        EXPECT_EQ(d.window->size(), size) << "the dialog keeps its size";
        EXPECT_EQ(readFile(dir / "Relaydeck[LINK].ini"), before);
        shot(d.window, "dialog_linux_error.png");

        // "26010" and the Save button: stored, the dialog closes.
        retype(d.port, "26010");
        QTest::mouseClick(d.save, Qt::LeftButton);
        EXPECT_FALSE(d.window->isVisible());
    });
    plugin.configure(nullptr, &client);
    EXPECT_TRUE(first.opened());
    EXPECT_NE(readFile("Relaydeck[LINK].ini").find("PORT=26010"), std::string::npos) << readFile("Relaydeck[LINK].ini");

    // Opened again it shows the stored port; Escape closes it without storing.
    const std::string saved = readFile("Relaydeck[LINK].ini");
    WhenOpen again([&](Dialog& d) {
        EXPECT_EQ(d.port->text(), QStringLiteral("26010"));
        retype(d.port, "1");
        QTest::keyClick(d.port, Qt::Key_Escape);
        EXPECT_FALSE(d.window->isVisible());
    });
    plugin.configure(nullptr, &client);
    EXPECT_TRUE(again.opened());
    EXPECT_EQ(readFile("Relaydeck[LINK].ini"), saved);
    EXPECT_TRUE(takeLog().empty());
}

// The plugin looks for its dialog in the folder "Relaydeck_Link" beside its own file,
// whatever that file is called (the client's installer adds a platform suffix).
TEST_F(DialogInQtHost, FindsTheModuleBesideItselfOrSaysWhyNot)
{
    const struct {
        const char* file;
        bool withModule;
    } cases[] = {{"Relaydeck_Link_linux_amd64.so", true}, {"Relaydeck_Link.so", false}};
    for (const auto& c : cases) {
        const fs::path folder = dir / (c.withModule ? "with" : "without");
        fs::create_directories(folder / "Relaydeck_Link");
        fs::copy_file(kPlugin, folder / c.file);
        if (c.withModule)
            fs::copy_file(kModule, folder / "Relaydeck_Link" / "dialog_qt5.so");
        Plugin plugin((folder / c.file).string());
        ASSERT_TRUE(plugin.error.empty()) << plugin.error;
        EXPECT_EQ(plugin.offersConfigure(),
                  c.withModule ? PLUGIN_OFFERS_CONFIGURE_QT_THREAD : PLUGIN_OFFERS_NO_CONFIGURE)
            << c.file;
        WhenOpen escape([](Dialog& d) { QTest::keyClick(d.port, Qt::Key_Escape); });
        plugin.configure(nullptr, &client);
        EXPECT_EQ(escape.opened(), c.withModule) << c.file;
        const auto log = takeLog();
        if (c.withModule) {
            EXPECT_TRUE(log.empty()) << log.front();
        } else {
            const std::string want = "Relaydeck[LINK]|Configuration dialog: " + (folder / "Relaydeck_Link").string() +
                                     "/dialog_qt5.so is missing";
            EXPECT_EQ(log, std::vector<std::string>{want});
        }
    }
}

// Qt widgets live on the GUI thread only: a call from elsewhere is refused and logged,
// and nothing is shown.
TEST_F(DialogInQtHost, RefusesOtherThreads)
{
    Plugin plugin(kPlugin.string());
    ASSERT_TRUE(plugin.error.empty()) << plugin.error;
    std::thread([&] { plugin.configure(nullptr, nullptr); }).join();
    EXPECT_EQ(takeLog(),
              std::vector<std::string>{"Relaydeck[LINK]|Configuration dialog: called outside the client's GUI thread"});
    EXPECT_FALSE(fs::exists("Relaydeck[LINK].ini"));
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
