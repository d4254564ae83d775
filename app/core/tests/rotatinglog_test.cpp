#include "app/core/rotatinglog.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}
} // namespace

// Ten-byte lines into a 25-byte log that keeps three files: every third line starts a new
// file, the oldest files go, nothing is lost from the files that are kept.
TEST(RotatingLog, RotatesAtTheLimitAndKeepsOnlyTheNewestFiles)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("logs/Relais.log"));
    RotatingLog log(path, 25, 3);
    for (int i = 0; i < 8; ++i)
        ASSERT_TRUE(log.append(QStringLiteral("line %1 ..").arg(i)));
    EXPECT_EQ(contents(path), QByteArray("line 6 ..\nline 7 ..\n"));
    EXPECT_EQ(contents(path + QStringLiteral(".1")), QByteArray("line 3 ..\nline 4 ..\nline 5 ..\n"));
    EXPECT_EQ(contents(path + QStringLiteral(".2")), QByteArray("line 0 ..\nline 1 ..\nline 2 ..\n"));
    EXPECT_FALSE(QFile::exists(path + QStringLiteral(".3")));
    EXPECT_EQ(QDir(dir.filePath(QStringLiteral("logs"))).entryList(QDir::Files).size(), 3);
}

TEST(RotatingLog, AGatewayNameBecomesOneFileName)
{
    const struct {
        const char* name;
        const char* file;
    } cases[] = {
        {"Relais Nord", "Relais Nord"},
        {"../../etc/passwd", "_._.._etc_passwd"},
        {"a\\b", "a_b"},
        {".hidden", "_hidden"},
        {"", "gateway"},
        {"  ", "gateway"},
        {"Tab\there", "Tab_here"},
        {"Köln 2m", "Köln 2m"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RotatingLog::fileNameFor(QString::fromUtf8(c.name)), QString::fromUtf8(c.file)) << c.name;
}
