#include "app/session/blocklines.h"

#include <gtest/gtest.h>

TEST(BlockLines, SplitsCarriesOverAndStopsAtNul)
{
    struct Case {
        const char* name;
        QList<QByteArray> blocks;
        QStringList lines;
        QString pending;
    } cases[] = {
        {"line ends and empty lines", {"\r\n\rA 1\r\r\nB 2\n\n"}, {"A 1", "B 2"}, ""},
        {"carry-over", {"AB", "C\rDE", "F\r"}, {"ABC", "DEF"}, ""},
        {"unfinished rest", {"X 1\rQUIT errorID=88"}, {"X 1"}, "QUIT errorID=88"},
        {"NUL ends the block", {QByteArray("<HELLO>\r\0junk\r", 14), "NEXT\r"}, {"<HELLO>", "NEXT"}, ""},
        {"quotes are ordinary", {"a 'x\rb \"y\r"}, {"a 'x", "b \"y"}, ""},
        {"latin-1 bytes", {"N \xe4\r"}, {QString::fromUtf8("N \xc3\xa4")}, ""},
    };
    for (const Case& c : cases) {
        BlockLines b;
        QStringList got;
        for (const QByteArray& block : c.blocks)
            got += b.feed(block);
        EXPECT_EQ(got, c.lines) << c.name;
        EXPECT_EQ(b.takePending(), c.pending) << c.name;
        EXPECT_FALSE(b.hasPending());
    }
}

TEST(BlockLines, OverlongLineIsGivenUpAndTheStreamResumes)
{
    BlockLines b(8);
    EXPECT_TRUE(b.feed("0123456789").isEmpty());
    EXPECT_EQ(b.feed("abc\rOK 1\r"), QStringList{QStringLiteral("OK 1")});
}
