// The register file as users and the window leave it: nicknames that end in bytes other
// readers take for space, and a file the program may not read.
#include "app/config/inifile.h"
#include "app/config/tests/testutil.h"
#include "app/gateway/tests/remote_testhost.h"
#include "link/qt/linkqt.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

SettingsList Message(const QString& typed, const QString& pp1, const QString& uid)
{
    SettingsList items;
    items.setValue("scHandler", "5");
    items.setValue("fromID", "7");
    items.setValue("fromUID", uid);
    items.setValue("fromNick", "Hans");
    items.setValue("fromCHAN", "12");
    items.setValue("cmd", LinkEscape(typed));
    items.setValue("pp1", LinkEscape(pp1));
    return items;
}

} // namespace

// The UTF-8 forms of these names end in A0, 85 and 85: bytes that a reader trimming
// Unicode space would cut off, leaving "Nicol\xC3" and the like.
TEST(RegisterFile, NicknamesSurviveTenSaveLoadRoundsByteForByte)
{
    QTemporaryDir dir;
    const QString path = RemoteRegister::pathFor(dir.path(), "{6B1C1F3A-0D5E-4E2A-9C55-1A2B3C4D5E6F}");
    const QStringList nicks = {QString::fromUtf8("Nicolà"), QString::fromUtf8("Check ✅"),  QString::fromUtf8("Jo 😅"),
                               QString::fromUtf8("Åsa"),    QString::fromUtf8("Сергей Р"), QString::fromUtf8("wait…")};
    RemoteRegister reg(path);
    for (int i = 0; i < nicks.size(); ++i)
        ASSERT_EQ(reg.registerRequest(QString("uid%1=").arg(i), nicks[i]), RemoteRegister::Request::Stored) << i;
    QByteArray first;
    for (int round = 0; round < 10; ++round) {
        // Load as the window does, then save every user back with the name it read.
        const QList<RemoteRegister::User> users = reg.users(RemoteRegister::Filter::New);
        ASSERT_EQ(users.size(), nicks.size());
        for (int i = 0; i < users.size(); ++i) {
            EXPECT_EQ(users[i].nick, nicks[i]) << "round " << round;
            ASSERT_TRUE(IniFile(path).writeString(users[i].uid, RemoteRegister::kNick,
                                                  RemoteRegister::encodeNick(users[i].nick)));
            ASSERT_TRUE(reg.writeDecision(users[i].uid, false, false));
        }
        if (round == 0)
            first = readAll(path);
        EXPECT_EQ(readAll(path), first) << "round " << round;
    }
    for (const QString& nick : nicks)
        EXPECT_TRUE(first.contains("NICK=" + nick.toUtf8() + "\r\n")) << nick.toStdString();
}

// One "#VOLUME 5" against a register the program may not read: refused in red, the log
// names the file, and every registration stays.
TEST(RegisterFile, AnUnreadableRegisterIsNeverWrittenOver)
{
    LanguageScope lang("en_US");
    QTemporaryDir dir;
    const QString path = RemoteRegister::pathFor(dir.path(), "{6B1C1F3A-0D5E-4E2A-9C55-1A2B3C4D5E6F}");
    RemoteRegister reg(path);
    ASSERT_TRUE(reg.writeDecision("active=", true, false));
    ASSERT_TRUE(reg.writeBool("active=", RemoteRegister::kMove, true));
    const QByteArray before = readAll(path);
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::Permissions()));
    RecordingRemoteHost host(path);
    {
        ModeBitsCount modeBits;
        for (const char* typed : {"VOLUME", "REGISTER"}) {
            SCOPED_TRACE(typed);
            host.clear();
            HandleRemoteCommand(host, typed, Message(typed, "5", "other="));
            ASSERT_EQ(host.sent.size(), 1);
            EXPECT_EQ(LinkUnescape(host.sent[0].second.section("message=", 1)),
                      "[b][color=#FF0000]ERROR: " + QString(typed) + "[/color][/b]");
            bool named = false;
            for (const auto& [text, kind] : host.logs)
                named = named || (kind == RemoteCommandHost::LogKind::Error && text.contains(path));
            EXPECT_TRUE(named) << host.logTexts().join('\n').toStdString();
        }
    }
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    EXPECT_EQ(readAll(path), before);
}
