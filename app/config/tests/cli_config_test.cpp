// The settings-file commands of relaydeck-cli, run as an operator would run them.
#include "app/config/globalfunct.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

namespace {
const QString kCli = QStringLiteral(RD_BINARY_DIR "/bin/relaydeck-cli");

struct CliRun {
    int code;
    QByteArray out;
};
CliRun runCli(const QStringList& args)
{
    QProcess p;
    p.start(kCli, args);
    if (!p.waitForFinished(20000))
        return {-1, {}};
    return {p.exitCode(), p.readAllStandardOutput()};
}
QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

TEST(CliConfig, DecodeAndEncodeRoundTripByteForByte)
{
    if (!QFileInfo::exists(kCli))
        GTEST_SKIP() << "relaydeck-cli is not built in this tree";
    QTemporaryDir dir;
    const QByteArray text = "gateUID={0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}\r\ngateName=K\xFC"
                            "che\r\nTS3-HOST=a=b\r\n";
    const QString rdk = dir.filePath("g.rdk");
    {
        QFile f(rdk);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.toBase64());
    }
    CliRun decoded = runCli({"decode-config", rdk});
    ASSERT_EQ(decoded.code, 0);
    EXPECT_EQ(decoded.out, text);

    const QString txt = dir.filePath("g.txt"), again = dir.filePath("again.rdk");
    {
        QFile f(txt);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(decoded.out);
    }
    ASSERT_EQ(runCli({"encode-config", txt, again}).code, 0);
    EXPECT_EQ(readAll(again), readAll(rdk));

    QFile bad(dir.filePath("bad.rdk"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("plain text, not Base64\r\n");
    bad.close();
    EXPECT_EQ(runCli({"decode-config", bad.fileName()}).code, 1);
    EXPECT_EQ(runCli({"decode-config", dir.filePath("missing.rdk")}).code, 1);

    CliRun esc = runCli({"escape", "Room 1/2 = ok|x"});
    EXPECT_EQ(esc.out, "Room^s1^c2^s^g^sok^px\n");
    EXPECT_EQ(runCli({"unescape", "50^s"}).out, "50 \n");
}
