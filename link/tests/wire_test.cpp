#include "link/wire.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

using namespace rdlink;

TEST(Escape, TableCasesAndRoundTrip)
{
    struct Case {
        std::string plain, escaped;
    };
    const Case cases[] = {
        {"Room 1/2 = ok|x", "Room^s1^c2^s^g^sok^px"},
        {"A B", "A^sB"},
        {"x=y/z", "x^gy^cz"},
        {"", ""},
        {" |\r\n\t\v\\/\f\b\a=", "^s^p^r^n^t^v^b^c^f^d^a^g"},
        {"caret ^ stays", "caret^s^^sstays"},
        {"K\xC3\xBC"
         "che",
         "K\xC3\xBC"
         "che"}, // bytes above 0x7F pass untouched
    };
    for (const auto& c : cases) {
        EXPECT_EQ(escape(c.plain), c.escaped) << c.plain;
        if (c.plain.find('^') == std::string::npos) {
            EXPECT_EQ(unescape(c.escaped), c.plain) << c.escaped;
        }
    }
}

TEST(Escape, CodesAlreadyInTheTextDoNotSurviveARoundTrip)
{
    EXPECT_EQ(escape("50^s"), "50^s");
    EXPECT_EQ(unescape(escape("50^s")), "50 ");
    EXPECT_EQ(unescape("^s"), " ");
    // Unknown codes and a lone trailing caret stay as they are.
    EXPECT_EQ(unescape("^x^"), "^x^");
    EXPECT_EQ(unescape("^^s"), "^ ");
}

TEST(Items, PluginReaderRules)
{
    struct Case {
        const char* params;
        const char* key;
        bool present;
        const char* value;
    };
    const Case cases[] = {
        {"a=1 scHandler=5", "scHandler", true, "5"},
        {"a=1 scHandler=5", "a", false, ""},                 // 3 characters: skipped
        {"scHandler=5 scHandler=6", "scHandler", true, "6"}, // later key wins
        {"xyz=", "xyz", true, ""},
        {"abcd", "abcd", true, "abcd"},                      // no "=": key and value
        {"fromUID=ab+/cd== x", "fromUID", true, "ab+/cd=="}, // value is all after the first "="
        {"id=1", "id", true, "1"},
        {"\tid=7\x0B\x0Cname=x\r\n", "name", true, "x"}, // every whitespace separates
        {"", "scHandler", false, ""},
    };
    for (const auto& c : cases) {
        Items items = Items::parse(c.params);
        EXPECT_EQ(items.has(c.key), c.present) << c.params << " / " << c.key;
        EXPECT_EQ(items.get(c.key), c.value) << c.params << " / " << c.key;
    }
}

TEST(Items, OnlyTheFirstTwentyTokensCount)
{
    std::string params;
    for (int i = 1; i <= 20; ++i)
        params += (i % 2 ? "a=1 " : "filler" + std::to_string(i) + "=x ");
    params += "scHandler=9 late=1 a b c d";
    Items items = Items::parse(params);
    EXPECT_FALSE(items.has("scHandler"));
    EXPECT_TRUE(items.has("filler20"));
    EXPECT_EQ(items.size(), 10u);
}

TEST(Items, NumbersReadFromTheStart)
{
    struct Case {
        const char* value;
        long long number;
    };
    const Case cases[] = {
        {"42", 42},
        {"  -17abc", -17},
        {"+8", 8},
        {"abc", 0},
        {"", 0},
        {"-", 0},
        {"1700000000123", 1700000000123LL},
        {"12 34", 12},
        {"99999999999999999999", LLONG_MAX},
        {"-99999999999999999999", LLONG_MIN},
        {"-9223372036854775808", LLONG_MIN},
    };
    for (const auto& c : cases)
        EXPECT_EQ(readNumber(c.value), c.number) << c.value;

    Items items = Items::parse("scHandler=12x level=-3.25dB type=1.5e2 bad=.");
    EXPECT_EQ(items.getInt("scHandler"), 12);
    EXPECT_EQ(items.getInt("missing"), 0);
    EXPECT_DOUBLE_EQ(items.getFloat("level"), -3.25);
    EXPECT_DOUBLE_EQ(items.getFloat("type"), 150.0);
    EXPECT_DOUBLE_EQ(items.getFloat("bad"), 0.0);
    EXPECT_DOUBLE_EQ(items.getFloat("missing"), 0.0);
    EXPECT_DOUBLE_EQ(readFloat(" .5"), 0.5);
    EXPECT_DOUBLE_EQ(readFloat("7."), 7.0);
    EXPECT_DOUBLE_EQ(readFloat("1e"), 1.0);
    EXPECT_DOUBLE_EQ(readFloat("1e-999"), 0.0);
    EXPECT_TRUE(readFloat("1e999") > 1e308);
}

TEST(Lines, Split)
{
    auto s = splitLine("WHOAMI");
    EXPECT_FALSE(s.hasBlank);
    EXPECT_EQ(s.command, "WHOAMI");

    s = splitLine("WHOAMI \r");
    EXPECT_TRUE(s.hasBlank);
    EXPECT_EQ(s.command, "WHOAMI");
    EXPECT_EQ(s.params, "");

    s = splitLine("PING timestamp=1700000000123 err=0");
    EXPECT_EQ(s.command, "PING");
    EXPECT_EQ(s.params, "timestamp=1700000000123 err=0");
}

TEST(Lines, CutEscapedKeepsCodesAndCharactersWhole)
{
    struct Case {
        std::string in;
        size_t max;
        std::string out;
    };
    const Case cases[] = {
        {"abc^sdef", 4, "abc"}, // would split "^s"
        {"abc^sdef", 5, "abc^s"},
        {"ab^^s", 3, "ab^"}, // the first caret is a literal one
        {"ab^^s", 4, "ab^"},
        {"short", 10, "short"},
        {"a\xC3\xBC"
         "b",
         2, "a"}, // no half UTF-8 character
        {"a\xE2\x82\xAC", 3, "a"},
        {"a\xE2\x82\xAC", 4, "a\xE2\x82\xAC"},
        {"", 0, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(std::string(cutEscaped(c.in, c.max)), c.out) << c.in << " max " << c.max;
}

namespace {
std::vector<std::string> feedAll(LineAssembler& a, const std::vector<std::string>& chunks, size_t* overlong = nullptr)
{
    std::vector<std::string> lines;
    for (const auto& c : chunks)
        a.feed(
            c, [&](std::string_view l) { lines.emplace_back(l); },
            [&](size_t n) {
                if (overlong)
                    *overlong = n;
                lines.push_back("<overlong>");
            });
    return lines;
}
} // namespace

TEST(LineAssembler, ChunksLineEndsAndEmptyLines)
{
    struct Case {
        std::vector<std::string> chunks;
        std::vector<std::string> lines;
        std::string pending;
    };
    const Case cases[] = {
        // Two commands in one segment, each ended with CR CR LF.
        {{"PING timestamp=1 err=0\r\r\nWHOAMI \r\r\n"}, {"PING timestamp=1 err=0", "WHOAMI "}, ""},
        // A command split across reads comes out once, when its end arrives.
        {{"GW_CON", "NECT gateUID=x", "\r"}, {"GW_CONNECT gateUID=x"}, ""},
        {{"A\n\n\rB\r", "\n", "C"}, {"A", "B"}, "C"},
        {{"\r\n\r\n"}, {}, ""},
        {{"one\rtw", "o\r", "", "three"}, {"one", "two"}, "three"},
    };
    for (const auto& c : cases) {
        LineAssembler a;
        EXPECT_EQ(feedAll(a, c.chunks), c.lines);
        EXPECT_EQ(a.hasPending(), !c.pending.empty());
        EXPECT_EQ(a.takePending(), c.pending);
        EXPECT_FALSE(a.hasPending());
    }
}

TEST(LineAssembler, OverlongLineIsDroppedAndTheStreamGoesOn)
{
    LineAssembler a(10);
    size_t overlong = 0;
    // The long line arrives in pieces; its neighbours survive.
    auto lines = feedAll(a, {"ok1\r0123456", "789abcdef", "ghij\rok2\r", "0123456789\r"}, &overlong);
    EXPECT_EQ(lines, (std::vector<std::string>{"ok1", "<overlong>", "ok2", "0123456789"}));
    EXPECT_EQ(overlong, 20u);

    // A line that never ends is not buffered without bound.
    LineAssembler b(4);
    lines = feedAll(b, {std::string(1000, 'x'), std::string(1000, 'y'), "\rnext\r"});
    EXPECT_EQ(lines, (std::vector<std::string>{"<overlong>", "next"}));
    EXPECT_FALSE(b.hasPending());

    b.feed("part", [](std::string_view) {});
    b.reset();
    EXPECT_FALSE(b.hasPending());
}
