#include "app/config/gatewayconfig.h"
#include "app/config/globalfunct.h"
#include "app/config/texts.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <vector>

using namespace gatewayconfig;

namespace {
QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}
const char* kUid = "{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}";
} // namespace

TEST(GatewayConfig, SparseFileCompletesInTableOrderWithoutEmptyDefaults)
{
    QTemporaryDir dir;
    ManualClock clock;
    const QString path = dir.filePath(QString(kUid) + ".rdk");
    writeAll(path, QByteArray("gateUID=").append(kUid).append("\r\ngateName=Relais Nord\r\n").toBase64());

    LoadResult r = load(path, clock);
    ASSERT_TRUE(r.ok());
    ASSERT_TRUE(save(path, r.list));
    auto saved = LoadSettingsFile(path);
    ASSERT_TRUE(saved.has_value());

    QStringList expected{"gateUID", "gateName"};
    for (const auto& [key, def] : keyTable())
        if (key != "gateUID" && key != "gateName" && (!def.isEmpty() || isComputedKey(key)))
            expected.append(key);
    QStringList keys;
    for (int i = 0; i < saved->size(); ++i) {
        keys.append(saved->nameAt(i));
        EXPECT_FALSE(saved->valueAt(i).isEmpty()) << saved->nameAt(i).toStdString();
    }
    EXPECT_EQ(keys, expected);
    EXPECT_EQ(saved->value("gateUID"), kUid);
    EXPECT_EQ(saved->value("gateName"), "Relais Nord");
    EXPECT_EQ(saved->value("TS3-NICK"), "Relaydeck 4.0.x");
    EXPECT_EQ(saved->value("HF-CALL-FREQ"), "1750");
    EXPECT_EQ(saved->value("COM-IN-PIN"), "DSR");
    EXPECT_FALSE(saved->contains("TS3-START-CHANNEL"));
    EXPECT_EQ(keyTable().size(), 133);
}

TEST(GatewayConfig, ComputedDefaultsOnlyForMissingKeys)
{
    ManualClock clock;
    std::vector<std::pair<int, int>> draws;
    auto random = [&](int low, int high) {
        draws.emplace_back(low, high);
        return high - 1; // the largest value the range may give
    };
    SettingsList fresh = newGateway(clock, random);
    EXPECT_TRUE(IsGuidText(fresh.value("gateUID")));
    EXPECT_EQ(fresh.value("gateName"), GetText("0101"));
    EXPECT_FALSE(fresh.value("activTime").isEmpty());
    EXPECT_EQ(draws, (std::vector<std::pair<int, int>>{{111111, 999999}, {10000, 99999}, {10000, 99999}}));
    EXPECT_EQ(fresh.value("REM-TRX-KEY"), "999998");
    EXPECT_EQ(fresh.value("REM-ADMIN-PWD"), "99998");

    // A complete list stays exactly as it is; names match without regard to case.
    SettingsList again = fresh;
    draws.clear();
    completeWithDefaults(again, clock, random);
    EXPECT_EQ(again, fresh);
    EXPECT_TRUE(draws.empty());

    SettingsList lower(QStringList{"ts3-nick=Funk", "GATEUID=x"});
    completeWithDefaults(lower, clock);
    EXPECT_EQ(lower.value("TS3-NICK"), "Funk");
    EXPECT_EQ(lower.lines().at(0), "ts3-nick=Funk");
    EXPECT_EQ(lower.value("gateUID"), "x");

    // The system generator stays in the ranges.
    for (int i = 0; i < 200; ++i) {
        SettingsList l = newGateway(clock);
        const int key = l.intValue("REM-TRX-KEY", 0), pwd = l.intValue("REM-SENDER-PWD", 0);
        ASSERT_TRUE(key >= 111111 && key <= 999998) << key;
        ASSERT_TRUE(pwd >= 10000 && pwd <= 99998) << pwd;
    }
}

TEST(GatewayConfig, Latin1FileRoundTripsByteForByte)
{
    QTemporaryDir dir;
    ManualClock clock;
    SettingsList list = newGateway(clock);
    list.setValue("gateName", QString::fromLatin1("K\xFC"
                                                  "che"));
    list.setValue("TS3-START-CHANNEL", "Funk/Raum=2");
    list.setValue("TS3-CHAN-PASSWD", "a=b==");
    const QString path = dir.filePath(list.value("gateUID") + ".rdk");
    ASSERT_TRUE(save(path, list));
    const QByteArray first = readAll(path);
    EXPECT_TRUE(QByteArray::fromBase64(first).contains("gateName=K\xFC"
                                                       "che\r\n"));

    LoadResult r = load(path, clock);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.list.value("TS3-START-CHANNEL"), "Funk/Raum=2");
    EXPECT_EQ(r.list.value("TS3-CHAN-PASSWD"), "a=b==");
    ASSERT_TRUE(save(path, r.list));
    EXPECT_EQ(readAll(path), first);

    stampForSave(r.list, 120, 340, clock);
    EXPECT_EQ(r.list.value("windowTPos"), "120");
    EXPECT_EQ(r.list.value("windowLPos"), "340");
}

TEST(GatewayConfig, LoadFailuresGiveTheLoadErrorPath)
{
    QTemporaryDir dir;
    struct Case {
        const char* name;
        std::optional<QByteArray> content; // nullopt: no file
        LoadError error;
    };
    const Case cases[] = {
        {"missing.rdk", std::nullopt, LoadError::FileMissing},
        {"empty.rdk", QByteArray(), LoadError::MissingIdentity},
        {"text.rdk", QByteArray("gateUID={X}\r\ngateName=plain text\r\n"), LoadError::Unreadable},
        {"binary.rdk", QByteArray("\x00\x01\xFE\xFF", 4), LoadError::Unreadable},
        {"noname.rdk", QByteArray("gateUID={X}\r\n").toBase64(), LoadError::MissingIdentity},
        {"nouid.rdk", QByteArray("gateName=A\r\n").toBase64(), LoadError::MissingIdentity},
        {"emptyname.rdk", QByteArray("gateUID={X}\r\ngateName=\r\n").toBase64(), LoadError::MissingIdentity},
        {"anycase.rdk", QByteArray("GATEUID={X}\ngatename=A").toBase64(), LoadError::None},
    };
    for (const auto& c : cases) {
        const QString path = dir.filePath(c.name);
        if (c.content)
            writeAll(path, *c.content);
        SettingsList params(QStringList{"CFG_FILE=" + path});
        EXPECT_EQ(loadFromParams(params).error, c.error) << c.name;
    }
    EXPECT_EQ(loadFromParams(SettingsList()).error, LoadError::NoFileName);
    EXPECT_EQ(loadErrorText(), GetText("0060"));
}
