// The .rem user register and the register window's editor: file form, tab filters, the
// administrator's decisions and settings, skipped writes, and the window writing while
// chat commands are handled.
#include "app/gateway/remoteregistereditor.h"
#include "app/gateway/tests/remote_testhost.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <thread>

namespace {

QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

SettingsList Message(const QString& typed, const QString& uid, const QString& pp1 = {})
{
    SettingsList items;
    items.setValue("scHandler", "5");
    items.setValue("fromID", "7");
    items.setValue("fromUID", uid);
    items.setValue("fromNick", "Nick^s" + uid.left(6));
    items.setValue("cmd", typed.toLower());
    items.setValue("pp1", pp1);
    return items;
}

class RemoteRegisterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = RemoteRegister::pathFor(dir.path(), "{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}");
    }
    QTemporaryDir dir;
    QString path;
};

// Sections in file order, as a register looks after a few requests and decisions
// (including one written by an older program: Latin-1 nickname, LF line ends).
const QByteArray kRegister = "[NewRequestUid0000000000001=]\r\nNICK=Anna\r\nREG=0\r\nIGNO=0\r\n"
                             "[ActiveUid00000000000000001=]\r\nNICK=J\xC3\xBCrgen\r\nREG=1\r\nIGNO=0\r\nmove=1\r\nmute="
                             "0\r\naway=1\r\nNOTP=1\r\nVOLUME=-12\r\n"
                             "[IgnoredUid0000000000000001=]\r\nNICK=Spam\r\nREG=1\r\nIGNO=1\r\nmove=1\r\n"
                             "[VolumeOnlyUid00000000000001=]\r\nVOLUME=4\r\n"
                             "[OldFileUid0000000000000001=]\nNICK=M\xFCller\nREG=1\nIGNO=0\n"
                             "[OddIgnoredUid0000000000001=]\r\nNICK=Odd\r\nIGNO=1\r\n";

} // namespace

TEST_F(RemoteRegisterTest, QueriesAndFiltersFollowTheStoredKeys)
{
    WriteFile(path, kRegister);
    RemoteRegister reg(path);

    auto uids = [&](RemoteRegister::Filter f) {
        QStringList out;
        for (const auto& u : reg.users(f))
            out << u.uid + ":" + RemoteRegisterEditor::caption(u);
        return out;
    };
    EXPECT_EQ(uids(RemoteRegister::Filter::New),
              (QStringList{"NewRequestUid0000000000001=:Anna", "VolumeOnlyUid00000000000001=:[No Name]"}));
    EXPECT_EQ(uids(RemoteRegister::Filter::Active),
              (QStringList{QString::fromUtf8("ActiveUid00000000000000001=:Jürgen"),
                           QString::fromUtf8("OldFileUid0000000000000001=:Müller")}));
    EXPECT_EQ(uids(RemoteRegister::Filter::Ignored),
              (QStringList{"IgnoredUid0000000000000001=:Spam", "OddIgnoredUid0000000000001=:Odd"}));

    struct Row {
        const char* uid;
        const char* key;
        bool allowed;
    };
    const Row rows[] = {
        {"ActiveUid00000000000000001=", "move", true},  {"ActiveUid00000000000000001=", "MOVE", true},
        {"ActiveUid00000000000000001=", "mute", false}, {"ActiveUid00000000000000001=", "call", false},
        {"IgnoredUid0000000000000001=", "move", false}, {"NewRequestUid0000000000001=", "move", false},
        {"UnknownUid0000000000000001=", "move", false},
    };
    for (const Row& r : rows)
        EXPECT_EQ(reg.IsRemoteAllowed(r.uid, r.key), r.allowed) << r.uid << " " << r.key;
    EXPECT_TRUE(reg.IsRemoteRegistered("IgnoredUid0000000000000001="));
    EXPECT_TRUE(reg.IsRemoteIgnored("IgnoredUid0000000000000001="));
    EXPECT_FALSE(reg.IsRemoteRegistered("NewRequestUid0000000000001="));
    EXPECT_EQ(reg.volume("ActiveUid00000000000000001="), -12);
    EXPECT_EQ(reg.volume("UnknownUid0000000000000001="), 0);

    // No file: nobody is registered, every list is empty, and nothing creates the file.
    RemoteRegister none(dir.filePath("missing.rem"));
    EXPECT_FALSE(none.IsRemoteAllowed("ActiveUid00000000000000001=", "move"));
    EXPECT_TRUE(none.users(RemoteRegister::Filter::Active).isEmpty());
    EXPECT_FALSE(QFile::exists(none.path()));
}

TEST_F(RemoteRegisterTest, RequestIsWrittenWithOneAndZeroBooleans)
{
    RemoteRegister reg(path);
    ASSERT_EQ(reg.registerRequest("q2Xn+k/T8bJ0vM4cVdE1YwP7s9A=", QString::fromUtf8("Zoë")),
              RemoteRegister::Request::Stored);
    EXPECT_EQ(ReadFile(path), QByteArray("[q2Xn+k/T8bJ0vM4cVdE1YwP7s9A=]\r\nNICK=Zo\xC3\xAB\r\nREG=0\r\nIGNO=0\r\n"));
    ASSERT_TRUE(reg.writeDecision("q2Xn+k/T8bJ0vM4cVdE1YwP7s9A=", true, false));
    ASSERT_TRUE(reg.writeBool("q2Xn+k/T8bJ0vM4cVdE1YwP7s9A=", "move", true));
    EXPECT_EQ(ReadFile(path),
              QByteArray("[q2Xn+k/T8bJ0vM4cVdE1YwP7s9A=]\r\nNICK=Zo\xC3\xAB\r\nREG=1\r\nIGNO=0\r\nmove=1\r\n"));
    EXPECT_EQ(reg.nick("q2Xn+k/T8bJ0vM4cVdE1YwP7s9A="), QString::fromUtf8("Zoë"));
}

TEST_F(RemoteRegisterTest, EditorOpensOnActiveTabWhenNoRequestsWait)
{
    {
        RemoteRegisterEditor e(path); // no file at all
        e.start();
        EXPECT_EQ(e.tab(), RemoteRegisterEditor::ActiveRegistrations);
        EXPECT_TRUE(e.users().isEmpty());
    }
    WriteFile(path, kRegister);
    RemoteRegisterEditor e(path);
    e.start();
    EXPECT_EQ(e.tab(), RemoteRegisterEditor::NewRequests);
    EXPECT_EQ(e.users().size(), 2);
    EXPECT_EQ(e.selected(), "");
    EXPECT_FALSE(e.controlsEnabled());
    EXPECT_EQ(e.nameLabel(), "- - -");

    // Only the new request? Once decided, the next start shows the active tab.
    WriteFile(path, "[ActiveUid00000000000000001=]\r\nREG=1\r\n");
    RemoteRegisterEditor again(path);
    again.start();
    EXPECT_EQ(again.tab(), RemoteRegisterEditor::ActiveRegistrations);
    EXPECT_EQ(again.users().size(), 1);
}

TEST_F(RemoteRegisterTest, SelectionFillsTheControlsFromTheFile)
{
    WriteFile(path, kRegister);
    LanguageScope lang("en_US");
    RemoteRegisterEditor e(path);
    e.start();

    struct Row {
        const char* uid;
        const char* name; // UTF-8
        bool activate, ignore;
        std::array<bool, 5> perms;
        bool block;
        int volume;
    };
    const Row rows[] = {
        {"NewRequestUid0000000000001=", "Anna", false, false, {}, false, 0},
        {"ActiveUid00000000000000001=", "Jürgen", true, false, {true, false, false, true, false}, true, -12},
        {"IgnoredUid0000000000000001=", "Spam", false, true, {true, false, false, false, false}, false, 0},
        {"VolumeOnlyUid00000000000001=", "[No Name]", false, false, {}, false, 4},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.uid);
        e.select(r.uid);
        EXPECT_TRUE(e.controlsEnabled());
        EXPECT_EQ(e.nameLabel(), QString::fromUtf8(r.name));
        EXPECT_EQ(e.activateOn(), r.activate);
        EXPECT_EQ(e.ignoreOn(), r.ignore);
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(e.permission(i), r.perms[size_t(i)]) << i;
        EXPECT_EQ(e.blockOn(), r.block);
        EXPECT_EQ(e.sliderEnabled(), !r.block);
        EXPECT_EQ(e.sliderValue(), r.volume);
        EXPECT_EQ(e.levelLabel(), "Level: " + QString::number(r.volume) + " db");
    }
    e.select(QString());
    EXPECT_FALSE(e.controlsEnabled());
    EXPECT_FALSE(e.activateOn() || e.ignoreOn() || e.blockOn() || e.permission(0));
}

TEST_F(RemoteRegisterTest, IgnoringARequestStopsItsAnswers)
{
    LanguageScope lang("en_US");
    const QString uid = "q2Xn+k/T8bJ0vM4cVdE1YwP7s9A=";
    RecordingRemoteHost host(path);
    HandleRemoteCommand(host, "REGISTER", Message("REGISTER", uid));
    ASSERT_EQ(host.sent.size(), 1);

    RemoteRegisterEditor e(path);
    e.start();
    ASSERT_EQ(e.users().size(), 1);
    e.select(e.users()[0].uid);
    e.clickIgnore();
    EXPECT_TRUE(e.ignoreOn());
    EXPECT_FALSE(e.activateOn());
    RemoteRegister reg(path);
    EXPECT_TRUE(reg.IsRemoteRegistered(uid));
    EXPECT_TRUE(reg.IsRemoteIgnored(uid));
    EXPECT_EQ(e.users().size(), 1); // the list is not refilled after a decision
    e.setTab(RemoteRegisterEditor::IgnoredRequests);
    ASSERT_EQ(e.users().size(), 1);
    EXPECT_EQ(e.users()[0].uid, uid);

    host.clear();
    HandleRemoteCommand(host, "REGISTER", Message("REGISTER", uid));
    EXPECT_TRUE(host.sent.isEmpty());

    // Activating it instead turns "Ignore" off and lets the permissions count.
    e.select(uid);
    e.clickActivate();
    e.setPermission(2, true); // rest
    EXPECT_FALSE(reg.IsRemoteIgnored(uid));
    EXPECT_TRUE(reg.IsRemoteAllowed(uid, "rest"));
    EXPECT_FALSE(reg.IsRemoteAllowed(uid, "move"));
}

TEST_F(RemoteRegisterTest, BlockLocksTheSliderAndTheStoredVolume)
{
    WriteFile(path, kRegister);
    RemoteRegisterEditor e(path);
    e.start();
    e.select("OldFileUid0000000000000001=");
    e.sliderMoved(-30);
    EXPECT_EQ(RemoteRegister(path).volume("OldFileUid0000000000000001="), 0); // only on release
    e.sliderReleased();
    EXPECT_EQ(RemoteRegister(path).volume("OldFileUid0000000000000001="), -30);

    e.setBlock(true);
    EXPECT_FALSE(e.sliderEnabled());
    EXPECT_TRUE(RemoteRegister(path).readBool("OldFileUid0000000000000001=", "NOTP"));
    e.sliderMoved(15);
    e.sliderReleased();
    EXPECT_EQ(e.sliderValue(), -30);
    EXPECT_EQ(RemoteRegister(path).volume("OldFileUid0000000000000001="), -30);

    e.setBlock(false);
    EXPECT_TRUE(e.sliderEnabled());
    EXPECT_FALSE(RemoteRegister(path).readBool("OldFileUid0000000000000001=", "NOTP"));
}

// Writes are skipped while nothing is selected or the selected name cannot be a
// TeamSpeak unique identifier (10 characters or fewer).
TEST_F(RemoteRegisterTest, WritesNeedASelectedUniqueIdentifier)
{
    const QByteArray content = kRegister + "[0123456789]\r\nNICK=Short\r\nREG=0\r\n";
    WriteFile(path, content);
    RemoteRegisterEditor e(path);
    e.start();
    auto everyAction = [&e] {
        for (int i = 0; i < RemoteRegisterEditor::kPermissions; ++i)
            e.setPermission(i, true);
        e.setBlock(false);
        e.sliderMoved(10);
        e.sliderReleased();
        e.clickActivate();
        e.clickIgnore();
    };
    everyAction(); // nothing selected
    EXPECT_EQ(ReadFile(path), content);
    e.select("0123456789");
    everyAction();
    EXPECT_EQ(ReadFile(path), content);

    e.select("NewRequestUid0000000000001=");
    e.setPermission(4, true);
    EXPECT_TRUE(RemoteRegister(path).readBool("NewRequestUid0000000000001=", "call"));
}

// The window keeps nothing of the file: a chat command handled between the window's
// reads and writes is neither overwritten nor hidden.
TEST_F(RemoteRegisterTest, WindowAndCommandsTakeTurnsWithoutLosingWrites)
{
    WriteFile(path, kRegister);
    const QString uid = "ActiveUid00000000000000001=";
    RemoteRegisterEditor e(path);
    e.start();
    e.setTab(RemoteRegisterEditor::ActiveRegistrations);
    e.select(uid);

    RecordingRemoteHost host(path);
    HandleRemoteCommand(host, "VOLUME", Message("VOLUME", uid, "7"));
    HandleRemoteCommand(host, "REGISTER", Message("REGISTER", "LateComerUid00000000000001="));
    e.setPermission(1, true); // mute, after the command changed the file
    e.clickIgnore();

    RemoteRegister reg(path);
    EXPECT_EQ(reg.volume(uid), 7);
    EXPECT_TRUE(reg.readBool(uid, "mute"));
    EXPECT_TRUE(reg.IsRemoteIgnored(uid));
    EXPECT_EQ(reg.nick("LateComerUid00000000000001="), "Nick LateCo");
    e.select(uid);
    EXPECT_EQ(e.sliderValue(), 7);
}

// The same on two threads, as in the program: the link handling registers users and sets
// volumes while the window sets permissions and blocks on the same sections.
TEST_F(RemoteRegisterTest, ConcurrentWindowAndCommandWritesAreAllKept)
{
    constexpr int kUsers = 40;
    auto windowUid = [](int i) {
        return QStringLiteral("WindowUser%1000000000000000=").arg(i, 3, 10, QLatin1Char('0'));
    };
    auto requestUid = [](int i) {
        return QStringLiteral("Requester%10000000000000000=").arg(i, 3, 10, QLatin1Char('0'));
    };
    {
        RemoteRegister reg(path);
        for (int i = 0; i < kUsers; ++i)
            ASSERT_TRUE(reg.writeDecision(windowUid(i), true, false));
    }

    std::thread engine([&] {
        RecordingRemoteHost host(path);
        for (int i = 0; i < kUsers; ++i) {
            HandleRemoteCommand(host, "REGISTER", Message("REGISTER", requestUid(i)));
            HandleRemoteCommand(host, "VOLUME", Message("VOLUME", windowUid(i), QString::number(i % 20)));
        }
    });
    std::thread window([&] {
        RemoteRegisterEditor e(path);
        e.start();
        for (int i = 0; i < kUsers; ++i) {
            e.select(windowUid(i));
            e.setPermission(i % RemoteRegisterEditor::kPermissions, true);
            e.setBlock(true);
        }
    });
    engine.join();
    window.join();

    RemoteRegister reg(path);
    for (int i = 0; i < kUsers; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(reg.nick(requestUid(i)), "Nick " + requestUid(i).left(6));
        EXPECT_FALSE(reg.IsRemoteRegistered(requestUid(i)));
        EXPECT_EQ(reg.volume(windowUid(i)), i % 20);
        EXPECT_TRUE(reg.IsRemoteAllowed(windowUid(i), RemoteRegisterEditor::permissionKeys()[size_t(i % 5)]));
        EXPECT_TRUE(reg.readBool(windowUid(i), "NOTP"));
    }
    EXPECT_EQ(reg.users(RemoteRegister::Filter::New).size(), kUsers);
    EXPECT_EQ(reg.users(RemoteRegister::Filter::Active).size(), kUsers);
}
