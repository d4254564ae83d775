#include "app/config/globalfunct.h"
#include "app/config/settingslist.h"

#include <gtest/gtest.h>

#include <functional>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include "app/config/tests/testutil.h"

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
} // namespace

TEST(SettingsList, NamesValuesAndDeletion)
{
    SettingsList l(QStringList{"TS3-NICK=Radio", "ts3-nick=second", "TS3-HOST=a=b=c", "flag"});
    EXPECT_EQ(l.value("ts3-nick"), "Radio"); // any case, the first match
    EXPECT_EQ(l.value("TS3-HOST"), "a=b=c"); // only the first "=" separates
    EXPECT_EQ(l.value("missing"), "");
    EXPECT_EQ(l.indexOf("FLAG"), 3);        // an entry without "=" is all name
    EXPECT_EQ(l.indexOf("TS3-HOST=a"), -1); // a name never holds "="
    EXPECT_EQ(l.indexOf("TS3-HOS"), -1);    // no prefix matches
    EXPECT_EQ(l.indexOf("TS3-HOSTX"), -1);
    l.setValue("TS3-nick", "New");
    EXPECT_EQ(l.lines().at(0), "TS3-nick=New");
    EXPECT_EQ(l.lines().at(1), "ts3-nick=second"); // the second entry is untouched
    l.setValue("Added", "1");
    EXPECT_EQ(l.lines().last(), "Added=1");
    l.setValue("TS3-HOST", "");
    EXPECT_FALSE(l.contains("ts3-host"));
    EXPECT_EQ(l.value("TS3-HOST"), "");
}

TEST(SettingsList, BooleansAndIntegers)
{
    struct Case {
        const char* text;
        bool asBool;
        int asInt; // fallback 99
    };
    const Case cases[] = {
        {"True", true, 99}, {"TRUE", true, 99}, {"true", true, 99}, {"False", false, 99},
        {"1", true, 1},     {"0", false, 0},    {"-5", true, -5},   {" 42 ", true, 42},
        {"", false, 99},    {"yes", false, 99}, {"3.5", false, 99}, {"12abc", false, 99},
    };
    for (const auto& c : cases) {
        SettingsList l(QStringList{QString("K=") + c.text});
        EXPECT_EQ(l.boolValue("k"), c.asBool) << c.text;
        EXPECT_EQ(l.intValue("k", 99), c.asInt) << c.text;
    }
    EXPECT_EQ(StrToIntOrMinus1("x"), -1);
    EXPECT_TRUE(IsInteger("-7"));
    EXPECT_FALSE(IsInteger("7x"));
    SettingsList l;
    l.setBool("A", true);
    l.setBool("B", false);
    l.setInt("C", -3);
    EXPECT_EQ(l.lines(), (QStringList{"A=True", "B=False", "C=-3"}));
}

// A long list looks its names up through a table; whatever changes it, a lookup must find
// what a search entry by entry finds (the first entry of the name in any case).
TEST(SettingsList, LongListFindsWhatASearchEntryByEntryFinds)
{
    auto expected = [](const SettingsList& l, const QString& name) {
        if (name.contains('='))
            return -1;
        for (int i = 0; i < l.size(); ++i) {
            const QString& line = l.lines()[i];
            const qsizetype eq = line.indexOf('=');
            if (QStringView(line).left(eq < 0 ? line.size() : eq).compare(name, Qt::CaseInsensitive) == 0)
                return i;
        }
        return -1;
    };
    QStringList lines;
    for (int i = 0; i < 30; ++i)
        lines << QString("KEY-%1=%2").arg(i).arg(i * 7);
    lines << "key-3=later"
          << "Flag"
          << ""
          << "=empty name"
          << "K=ascii";
    SettingsList l(lines);
    const QStringList probes = {"key-3",   "KEY-29",  "key-30",  "flag",  "",       "k",       QString(QChar(0x212A)),
                                "Key-3=x", "NEW-KEY", "new-key", "KEY-1", "key-10", "ADDED-40"};
    const std::function<void(SettingsList&)> steps[] = {
        [](SettingsList&) {},
        [](SettingsList& s) { s.setValue("new-key", "1"); },              // appended
        [](SettingsList& s) { s.setValue("NEW-KEY", "2"); },              // replaced, other case
        [](SettingsList& s) { s.remove("key-3"); },                       // both entries go
        [](SettingsList& s) { s.lines().removeAt(0); },                   // indexes move
        [](SettingsList& s) { s.lines()[4] = "KEY-10=moved"; },           // renamed in place
        [](SettingsList& s) { s.setValue(QString(QChar(0x212A)), "x"); }, // a name outside ASCII
        [](SettingsList& s) { s.remove("K"); },
        [](SettingsList& s) {
            for (int i = 31; i <= 40; ++i) // past the table's size
                s.setValue(QString("added-%1").arg(i), "v");
        },
        [](SettingsList& s) { s.clear(); },
    };
    int step = 0;
    for (const auto& change : steps) {
        change(l);
        for (const QString& p : probes) {
            const int want = expected(l, p);
            EXPECT_EQ(l.indexOf(p), want) << "step " << step << ", " << p.toStdString();
            EXPECT_EQ(l.value(p), want < 0 ? QString() : l.valueAt(want)) << "step " << step;
        }
        SettingsList copy = l; // a copy keeps the same answers
        for (const QString& p : probes)
            EXPECT_EQ(copy.indexOf(p), expected(l, p)) << "copy, step " << step;
        ++step;
    }
    // A short list is searched entry by entry, ASCII compared at once, the rest by Qt.
    const SettingsList shortList(QStringList{QString("x") + QChar(0x212A) + "=1", "XK=2",
                                             QString::fromUtf8("Stra\xc3\x9f"
                                                               "e=3"),
                                             QString::fromUtf8("\xc3\x84rger=4")});
    for (const QString& p : {QString("xk"), QString("XK"), QString("x") + QChar(0x212A),
                             QString::fromUtf8("STRA\xc3\x9f"
                                               "E"),
                             QString::fromUtf8("\xc3\xa4RGER"), QString("strasse"), QString("x")})
        EXPECT_EQ(shortList.indexOf(p), expected(shortList, p)) << p.toStdString();
}

// A reader may keep what it took from a list while its revision stays: every change moves
// it on, a lookup does not, and no other list (a copy, one moved from) ever has it.
TEST(SettingsList, RevisionMovesOnWithEveryChangeOnly)
{
    SettingsList l(QStringList{"A=1", "B=2"});
    const std::pair<const char*, std::function<void(SettingsList&)>> changes[] = {
        {"append", [](SettingsList& s) { s.setValue("C", "3"); }},
        {"replace", [](SettingsList& s) { s.setValue("a", "1"); }},
        {"remove", [](SettingsList& s) { s.remove("B"); }},
        {"through lines()", [](SettingsList& s) { s.lines() << "D=4"; }},
        {"assign", [](SettingsList& s) { s = SettingsList(QStringList{"A=1"}); }},
        {"clear", [](SettingsList& s) { s.clear(); }},
    };
    for (const auto& [what, change] : changes) {
        const quint64 before = l.revision();
        change(l);
        EXPECT_NE(l.revision(), before) << what;
        const quint64 after = l.revision();
        (void)l.value("A");
        (void)l.contains("missing");
        EXPECT_EQ(l.revision(), after) << what;
    }
    l.setValue("A", "1");
    SettingsList copy(l);
    EXPECT_NE(copy.revision(), l.revision());
    const quint64 source = l.revision();
    SettingsList moved(std::move(l));
    EXPECT_NE(moved.revision(), source);
    EXPECT_NE(l.revision(), source); // NOLINT(bugprone-use-after-move): it is emptied
    EXPECT_TRUE(l.isEmpty());        // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(moved.value("a"), "1");
}

TEST(GlobalFunct, SmallHelpers)
{
    EXPECT_EQ(Base64Text(""), "");
    EXPECT_EQ(Base64Text("Hallo"), "SGFsbG8=");
    EXPECT_EQ(Base64Text(QString::fromLatin1("K\xFC")), "S/w=");      // ISO 8859-1 byte 0xFC
    EXPECT_EQ(Base64Text(QString::fromUtf8("\xE2\x82\xAC")), "Pw=="); // outside Latin-1: "?"
    EXPECT_EQ(Base64ToUnicode("SABpAA=="), "Hi");                     // UTF-16LE
    EXPECT_EQ(Base64ToUnicode("rKA="), QString(QChar(0xA0AC)));
    EXPECT_EQ(Base64ToUnicode("***"), "");

    const QString guid = NewGuidText();
    EXPECT_TRUE(QRegularExpression("^\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}$")
                    .match(guid)
                    .hasMatch())
        << guid.toStdString();
    EXPECT_TRUE(IsGuidText(guid));
    EXPECT_FALSE(IsGuidText(guid.toLower()));
    EXPECT_NE(NewGuidText(), guid);

    EXPECT_EQ(PadLeft("1", 2, '0'), "01");
    EXPECT_EQ(PadLeft("123", 2, '0'), "123");

    QTemporaryDir dir;
    for (const char* n : {"b.rdk", "A.RDK", "c.rem", "sub.rdk"})
        writeAll(dir.filePath(n), "x");
    QFile::remove(dir.filePath("sub.rdk"));
    QDir(dir.path()).mkdir("sub.rdk"); // folders are not listed
    EXPECT_EQ(ListFiles(dir.path(), "*.rdk"), (QStringList{dir.filePath("A.RDK"), dir.filePath("b.rdk")}));
}

TEST(SettingsFile, DecodeAcceptsBase64OnlyAndSplitsAnyLineEnd)
{
    struct Case {
        QByteArray file;
        bool ok;
        QStringList lines;
    };
    const Case cases[] = {
        {"", true, {}},
        {QByteArray("a=1\rb=2\nc=3\r\n\r\nd=4").toBase64(), true, {"a=1", "b=2", "c=3", "d=4"}},
        // Line breaks inside the Base64 text (another encoder's habit) are tolerated.
        {"Z2F0ZU5h\r\nbWU9eA==\r\n", true, {"gateName=x"}},
        {"not Base64!", false, {}},
        {"gateUID={1234}", false, {}},
        {"\x01\x02\xFF", false, {}},
    };
    for (const auto& c : cases) {
        auto list = DecodeSettings(c.file);
        ASSERT_EQ(list.has_value(), c.ok) << c.file.toStdString();
        if (list) {
            EXPECT_EQ(list->lines(), c.lines) << c.file.toStdString();
        }
    }
}

TEST(SettingsFile, WindowsWrittenBytesReadBackAndResaveIdentically)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("{11111111-2222-3333-4444-555555555555}.rdk");
    // 8-bit code page text: "Küche", a Windows-1252 euro sign (0x80), a value with "=".
    const QByteArray text = "gateUID={11111111-2222-3333-4444-555555555555}\r\n"
                            "gateName=K\xFC"
                            "che \x80 5\r\n"
                            "TS3-START-CHANNEL=Funk/Raum=1\r\n";
    const QByteArray file = text.toBase64();
    writeAll(path, file);

    auto list = LoadSettingsFile(path);
    ASSERT_TRUE(list.has_value());
    EXPECT_EQ(list->value("gatename"), QString::fromLatin1("K\xFC"
                                                           "che \x80 5"));
    EXPECT_EQ(list->value("TS3-START-CHANNEL"), "Funk/Raum=1");
    EXPECT_EQ(EncodeSettings(*list), file);

    ASSERT_TRUE(SaveSettingsFile(path, *list));
    EXPECT_EQ(readAll(path), file);
    EXPECT_FALSE(LoadSettingsFile(dir.filePath("missing.rdk")).has_value());
}

TEST(SettingsFile, FailedSaveKeepsTheOldFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("main.cfg");
    SettingsList old(QStringList{"appLang=de_DE"});
    ASSERT_TRUE(SaveSettingsFile(path, old));
    const QByteArray before = readAll(path);

    SettingsList big(QStringList{"appLang=en_US", "devPW=" + QString(4000, QLatin1Char('x'))});
    {
        FileSizeLimit limit(64);
        EXPECT_FALSE(SaveSettingsFile(path, big));
    }
    EXPECT_EQ(readAll(path), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"main.cfg"});
    // Saving into a folder that does not exist fails without creating anything.
    EXPECT_FALSE(SaveSettingsFile(dir.filePath("nope/main.cfg"), old));
}
