#include "app/config/inifile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "app/config/tests/testutil.h"

#include <thread>
#include <vector>

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

// A file as a Windows program would have left it: CR LF, a comment, odd spacing,
// duplicate keys and sections, a Latin-1 byte and a value holding "=".
const QByteArray kSample = "; serial ports\r\n"
                           "[COM1]\r\n"
                           "  Baud = 9600  \r\n"
                           "baud=4800\r\n"
                           "Name=K\xFC"
                           "che=oben\r\n"
                           "Quoted=\"  spaced  \"\r\n"
                           "noequals\r\n"
                           "\r\n"
                           "[com2]\r\n"
                           "RTS=1\r\n"
                           "[COM1]\r\n"
                           "Baud=1200\r\n";
} // namespace

TEST(IniFile, ReadsWithProfileSemantics)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("comport.cfg");
    writeAll(path, kSample);
    IniFile ini(path);

    EXPECT_EQ(ini.readString("com1", "BAUD"), "9600"); // case-insensitive, trimmed, first wins
    EXPECT_EQ(ini.readString("COM1", "name"), QString::fromLatin1("K\xFC"
                                                                  "che=oben"));
    EXPECT_EQ(ini.readString("COM1", "Quoted"), "  spaced  "); // one pair of quotes dropped
    EXPECT_EQ(ini.readString("COM1", "noequals", "dflt"), "dflt");
    EXPECT_EQ(ini.readString("COM9", "Baud", "x"), "x");
    EXPECT_EQ(ini.readInteger("COM1", "Baud", -1), 9600);
    EXPECT_EQ(ini.readInteger("COM1", "Name", -1), -1);
    EXPECT_TRUE(ini.readBool("COM2", "rts", false));
    EXPECT_TRUE(ini.readBool("COM2", "dtr", true));
    EXPECT_FALSE(ini.readBool("COM2", "dtr", false));

    // Lists name every header and key line, as the profile functions list them.
    EXPECT_EQ(ini.sections(), (QStringList{"COM1", "com2", "COM1"}));
    EXPECT_EQ(ini.keys("COM1"), (QStringList{"Baud", "baud", "Name", "Quoted"}));
    EXPECT_TRUE(ini.sectionExists("Com2"));
    EXPECT_TRUE(ini.valueExists("COM2", "RTS"));
    EXPECT_FALSE(ini.valueExists("COM2", "DTR"));

    IniFile missing(dir.filePath("none.ini"));
    EXPECT_EQ(missing.readInteger("a", "b", 7), 7);
    EXPECT_TRUE(missing.sections().isEmpty());
}

TEST(IniFile, WritesKeepEverythingElseByteForByte)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("comport.cfg");
    writeAll(path, kSample);
    IniFile ini(path);

    ASSERT_TRUE(ini.writeInteger("COM1", "BAUD", 19200)); // first match, spelling of the file kept
    ASSERT_TRUE(ini.writeBool("COM1", "DTR", true));      // new key at the end of the section
    ASSERT_TRUE(ini.writeString("COM3", "Name", QString::fromLatin1("\xE9t\xE9")));
    QByteArray expected = kSample;
    expected.replace("  Baud = 9600  \r\n", "Baud=19200\r\n");
    expected.replace("noequals\r\n\r\n", "noequals\r\nDTR=1\r\n\r\n");
    expected += "[COM3]\r\nName=\xE9t\xE9\r\n";
    EXPECT_EQ(readAll(path), expected);

    // Writing the same value again does not touch the file.
    const QDateTime before = QFileInfo(path).lastModified();
    ASSERT_TRUE(ini.writeString("COM1", "dtr", "1"));
    EXPECT_EQ(readAll(path), expected);
    EXPECT_EQ(QFileInfo(path).lastModified(), before);

    ASSERT_TRUE(ini.deleteKey("com1", "name"));
    ASSERT_TRUE(ini.eraseSection("COM2"));
    EXPECT_EQ(ini.readString("COM1", "Name"), "");
    EXPECT_FALSE(ini.sectionExists("COM2"));
    EXPECT_EQ(ini.readString("COM1", "Baud"), "19200");
    EXPECT_EQ(ini.sections(), (QStringList{"COM1", "COM1", "COM3"}));
}

TEST(IniFile, NewFileAndLastLineWithoutLineEnd)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("rogerbeep.cfg");
    IniFile ini(path);
    ASSERT_TRUE(ini.writeString("Beep", "Tone1", "1000"));
    ASSERT_TRUE(ini.writeString("Beep", "Tone2", "2000"));
    EXPECT_EQ(readAll(path), QByteArray("[Beep]\r\nTone1=1000\r\nTone2=2000\r\n"));

    writeAll(path, "[a]\nx=1");
    ASSERT_TRUE(ini.writeString("a", "y", "2"));
    ASSERT_TRUE(ini.writeString("b", "z", "3"));
    EXPECT_EQ(readAll(path), QByteArray("[a]\nx=1\r\ny=2\r\n[b]\r\nz=3\r\n"));
}

TEST(IniFile, FailedWriteLeavesTheOldFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("x.ini");
    writeAll(path, "[s]\r\nk=old\r\n");
    IniFile ini(path);
    {
        FileSizeLimit limit(64); // the new content cannot be written in full
        EXPECT_FALSE(ini.writeString("s", "big", QString(4096, QLatin1Char('x'))));
    }
    EXPECT_EQ(readAll(path), QByteArray("[s]\r\nk=old\r\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"x.ini"}); // no temporary left
}

TEST(IniFile, ConcurrentWritersLoseNothing)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("user.rem");
    constexpr int kThreads = 4, kWrites = 25;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            IniFile ini(path); // each writer its own object, as a window and an engine would
            for (int i = 0; i < kWrites; ++i)
                ini.writeInteger(QString("T%1").arg(t), QString("K%1").arg(i), i);
        });
    for (auto& th : threads)
        th.join();
    IniFile ini(path);
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(ini.keys(QString("T%1").arg(t)).size(), kWrites) << t;
}

TEST(IniFile, AFileThatCannotBeReadIsNeverWrittenOver)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("gate.rem");
    const QByteArray register_ = "[q2Xn]\r\nNICK=Hans\r\nREG=1\r\n";
    writeAll(path, register_);
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::Permissions()));
    {
        ModeBitsCount modeBits;
        IniFile ini(path);
        ASSERT_TRUE(ini.unreadable());
        EXPECT_FALSE(ini.writeInteger("other", "VOLUME", 5));
        EXPECT_FALSE(ini.eraseSection("q2Xn"));
        EXPECT_FALSE(ini.edit([](IniDocument& d) { d.setValue("a", "b", "c"); }));
        EXPECT_EQ(ini.readInteger("q2Xn", "REG", -1), -1); // reads as empty
    }
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    EXPECT_EQ(readAll(path), register_);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"gate.rem"});
}

TEST(IniFile, NotepadUnicodeFileIsReadAndStaysUtf16)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("comport.cfg");
    const QString text = QString::fromUtf8("; Stationsfunkgerät\r\n[COM1]\r\nident=1\r\nactiv=1\r\n");
    QByteArray bytes("\xFF\xFE");
    bytes.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    writeAll(path, bytes);
    IniFile ini(path);
    EXPECT_EQ(ini.readInteger("COM1", "ident", 0), 1);
    EXPECT_TRUE(ini.readBool("COM1", "activ", false));
    ASSERT_TRUE(ini.writeString("COM1", "device", QString::fromUtf8("/dev/ttyUSB0 \u041F")));
    const QByteArray after = readAll(path);
    ASSERT_TRUE(after.startsWith("\xFF\xFE"));
    const QString afterText =
        QString::fromUtf16(reinterpret_cast<const char16_t*>(after.constData() + 2), (after.size() - 2) / 2);
    EXPECT_EQ(afterText, text + QString::fromUtf8("device=/dev/ttyUSB0 \u041F\r\n"));
    EXPECT_TRUE(ini.read().isUtf16());
}
