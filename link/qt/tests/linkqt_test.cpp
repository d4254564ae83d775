// The Qt face of the wire format: the same escaping as link/wire.h on any QString, names
// decoded from their UTF-8 bytes, and the item text of a command.
#include "link/qt/linkqt.h"

#include "link/wire.h"

#include <gtest/gtest.h>

namespace {

QString u(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

} // namespace

TEST(LinkQt, EscapingMatchesTheWireFormatAndKeepsEveryOtherCharacter)
{
    struct Case {
        const char* plain; // UTF-8
        const char* escaped;
    };
    const Case cases[] = {
        {"", ""},
        {"Relais Nord", "Relais^sNord"},
        {"a|b\r\n\t\v\\/\f\b\a=c", "a^pb^r^n^t^v^b^c^f^d^a^gc"},
        {"[b][color=#FF0000]x[/color][/b]", "[b][color^g#FF0000]x[^ccolor][^cb]"},
        {"caret ^ stays", "caret^s^^sstays"},
        // Beyond ASCII and beyond ISO 8859-1 nothing changes but the coded characters.
        {"Gr\xc3\xbc\xc3\x9f"
         "e S\xc3\xbc"
         "d",
         "Gr\xc3\xbc\xc3\x9f"
         "e^sS\xc3\xbc"
         "d"},
        {"\xe2\x82\xac 5 / \xf0\x9f\x93\xbb", "\xe2\x82\xac^s5^s^c^s\xf0\x9f\x93\xbb"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.plain);
        EXPECT_EQ(LinkEscape(u(c.plain)), u(c.escaped));
        EXPECT_EQ(LinkUnescape(u(c.escaped)), u(c.plain));
        // Byte for byte what the plugin's side makes of the same text.
        EXPECT_EQ(LinkEscape(u(c.plain)).toStdString(), rdlink::escape(c.plain));
    }
}

TEST(LinkQt, UnescapeIsTheReverse)
{
    const char* texts[] = {"",
                           "plain",
                           "Relais Nord / Kanal 2",
                           "k=v|w",
                           "Gr\xc3\xbc\xc3\x9f"
                           "e\r\n",
                           "\xf0\x9f\x93\xbb ="};
    for (const char* t : texts) {
        SCOPED_TRACE(t);
        EXPECT_EQ(LinkUnescape(LinkEscape(u(t))), u(t));
    }
    // A caret that starts no code stays; "^x" is no code.
    EXPECT_EQ(LinkUnescape(u("50^x^s%")), u("50^x %"));
}

TEST(LinkQt, NamesAreDecodedFromTheirUtf8Bytes)
{
    struct Case {
        QString received; // as the session hands it over: one character per byte
        QString shown;
    };
    const Case cases[] = {
        {QString::fromLatin1("J\xc3\xbcrgen^s1"), u("J\xc3\xbcrgen 1")},
        {QString::fromLatin1("Main^cL\xc3\xb6"
                             "bby"),
         u("Main/L\xc3\xb6"
           "bby")},
        {QStringLiteral("DL1ABC"), QStringLiteral("DL1ABC")},
        // Not UTF-8 (an ISO 8859-1 name): shown as it came rather than as replacement marks.
        {QString::fromLatin1("M\xfcller"), QString::fromLatin1("M\xfcller")},
        // Characters that cannot have come as single bytes: left alone.
        {u("\xe2\x82\xac^s5"), u("\xe2\x82\xac 5")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LinkText(c.received), c.shown) << c.received.toStdString();
}

TEST(LinkQt, ItemsAreJoinedInTheirOrder)
{
    EXPECT_EQ(LinkItems({}), QString());
    EXPECT_EQ(LinkItems({{QStringLiteral("scHandler"), QStringLiteral("3")}}), QStringLiteral("scHandler=3"));
    EXPECT_EQ(LinkItems({{QStringLiteral("scHandler"), QStringLiteral("3")},
                         {QStringLiteral("message"), LinkEscape(QStringLiteral("a b"))},
                         {QStringLiteral("level"), QStringLiteral("-20")}}),
              QStringLiteral("scHandler=3 message=a^sb level=-20"));
}
