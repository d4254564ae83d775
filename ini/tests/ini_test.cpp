#include "ini/ini.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;
using rdini::Document;
using rdini::Text;

// The bytes of a text as Notepad saves it as "Unicode": FF FE, then UTF-16LE.
std::string utf16le(std::u16string_view text)
{
    std::string out = "\xFF\xFE";
    for (char16_t c : text) {
        out.push_back(char(c & 0xFF));
        out.push_back(char(c >> 8));
    }
    return out;
}

Text t(std::string_view latin1)
{
    return rdini::fromLatin1(latin1);
}

std::string show(const std::optional<Text>& v)
{
    return v ? "\"" + rdini::toLatin1(*v) + "\"" : "(missing)";
}

std::string show(const std::vector<Text>& list)
{
    std::string out = "{";
    for (size_t i = 0; i < list.size(); ++i)
        out += (i ? ", " : "") + rdini::toLatin1(list[i]);
    return out + "}";
}

// One case: the file's bytes, what is done to it, and what Windows gives for it.
struct Case {
    const char* what;
    std::string file;
    enum Op { Read, Sections, Keys, Write, Erase, DeleteKey } op;
    std::string section, key, value;
    std::string expected; // Read: show(value); Sections / Keys: show(list); writes: the file's bytes after
};

const std::vector<Case>& cases()
{
    static const std::vector<Case> table = {
        // Values lose blanks and tabs at their ends and nothing else.
        {"UTF-8 a-grave ends in A0", "[u]\r\nNICK=Nicol\xC3\xA0\r\n", Case::Read, "u", "NICK", "", "\"Nicol\xC3\xA0\""},
        {"emoji ends in 85", "[u]\r\nNICK=Check \xE2\x9C\x85\r\n", Case::Read, "u", "nick", "",
         "\"Check \xE2\x9C\x85\""},
        {"emoji ends in 85 (4 bytes)", "[u]\r\nNICK=Jo \xF0\x9F\x98\x85\r\n", Case::Read, "U", "NICK", "",
         "\"Jo \xF0\x9F\x98\x85\""},
        {"no-break space stays", "[u]\r\nNICK=\xA0x\xA0\r\n", Case::Read, "u", "NICK", "", "\"\xA0x\xA0\""},
        {"blanks and tabs go", "[u]\r\n \t NICK \t= \t v w \t \r\n", Case::Read, " u\t", "NICK ", "", "\"v w\""},
        {"vertical tab and form feed stay", "[u]\r\nk=\x0Bv\x0C\r\n", Case::Read, "u", "k", "", "\"\x0Bv\x0C\""},
        // Notepad's "Unicode": UTF-16LE with a byte order mark.
        {"UTF-16 file is read", utf16le(u"[COM1]\r\nident=1\r\nactiv=1\r\n"), Case::Read, "COM1", "activ", "", "\"1\""},
        {"UTF-16 file stays UTF-16", utf16le(u"[COM1]\r\nident=1\r\n"), Case::Write, "COM1", "activ", "0",
         utf16le(u"[COM1]\r\nident=1\r\nactiv=0\r\n")},
        {"UTF-16 section added", utf16le(u"; ports\r\n"), Case::Write, "COM2", "ident", "2",
         utf16le(u"; ports\r\n[COM2]\r\nident=2\r\n")},
        {"UTF-8 byte order mark is text: the first header is no header", "\xEF\xBB\xBF[s]\r\nk=1\r\n", Case::Read, "s",
         "k", "", "(missing)"},
        // A header without "]" names the section to the end of its line.
        {"header without ]", "[a]\r\nk=1\r\n[section   \r\nk=2\r\n", Case::Read, "section", "k", "", "\"2\""},
        {"header without ] ends the previous section", "[a]\r\nk=1\r\n[b\r\nj=2\r\n", Case::Read, "a", "j", "",
         "(missing)"},
        {"text after the header is ignored", "[LINKSettings] ; note\r\nPORT=26010\r\n", Case::Read, "LINKSettings",
         "PORT", "", "\"26010\""},
        {"name ends at the first ]", "[a]b]\r\nk=1\r\n", Case::Sections, "", "", "", "{a}"},
        {"lines before the first header belong to no section", "k=1\r\n[s]\r\n", Case::Read, "", "k", "", "(missing)"},
        // Erasing a section keeps the comments (and blank lines) in it.
        {"erase keeps comments", "[COM1]\r\n; my radio\r\nident=1\r\nnoeq\r\n\r\n[COM2]\r\nident=2\r\n", Case::Erase,
         "com1", "", "", "; my radio\r\n\r\n[COM2]\r\nident=2\r\n"},
        {"erase the first of two", "[a]\r\nk=1\r\n[A]\r\nk=2\r\n", Case::Erase, "a", "", "", "[A]\r\nk=2\r\n"},
        // Lists keep names repeated in another case.
        {"sections repeated in another case", "[COM1]\r\n[com2]\r\n[Com1]\r\n", Case::Sections, "", "", "",
         "{COM1, com2, Com1}"},
        {"keys repeated in another case", "[s]\r\nA=1\r\na=2\r\n;c=3\r\nbare\r\nB=3\r\n", Case::Keys, "S", "", "",
         "{A, a, B}"},
        {"an empty key name is listed", "[s]\r\n=v\r\nk=1\r\n", Case::Keys, "s", "", "", "{, k}"},
        // A key that stands as a bare line.
        {"bare line reads as missing", "[s]\r\nnoeq\r\nnoeq=5\r\n", Case::Read, "s", "noeq", "", "(missing)"},
        {"write goes into the bare line", "[s]\r\nnoeq\r\nx=1\r\n", Case::Write, "s", "NOEQ", "5",
         "[s]\r\nnoeq=5\r\nx=1\r\n"},
        // What the plugin's reader got wrong.
        {"quotes removed", "[LINKSettings]\r\nPORT=\"26010\"\r\n", Case::Read, "LINKSettings", "PORT", "", "\"26010\""},
        {"single quotes removed", "[s]\r\nk=' a '\r\n", Case::Read, "s", "k", "", "\" a \""},
        {"unmatched quotes stay", "[s]\r\nk=\"a'\r\n", Case::Read, "s", "k", "", "\"\"a'\""},
        {"CR-only line ends", "[x]\rPORT=1\r[LINKSettings]\rPORT=26010\r", Case::Read, "LINKSettings", "PORT", "",
         "\"26010\""},
        {"first of two sections wins", "[LINKSettings]\r\nA=1\r\n[linksettings]\r\nPORT=26020\r\n", Case::Read,
         "LINKSettings", "PORT", "", "(missing)"},
        {"first of two keys wins", "[s]\r\nk=1\r\nK=2\r\n", Case::Read, "s", "k", "", "\"1\""},
        {"comment is no key", "[s]\r\n;k=1\r\n", Case::Read, "s", ";k", "", "(missing)"},
        // Text after a NUL byte is not lost.
        {"NUL byte", "[s]\r\nk=a\0b\r\nj=2\r\n"s, Case::Read, "s", "j", "", "\"2\""},
        {"NUL byte kept on write", "[s]\r\nk=a\0b\r\n"s, Case::Write, "s", "j", "2", "[s]\r\nk=a\0b\r\nj=2\r\n"s},
        // Writes change only what they must.
        {"key spelling of the file kept", "[COM1]\r\n  Baud = 9600  \r\nbaud=1\r\n", Case::Write, "com1", "BAUD",
         "19200", "[COM1]\r\nBaud=19200\r\nbaud=1\r\n"},
        {"new key after the last line of the section", "[a]\n; c\n\n[b]\n", Case::Write, "a", "k", "1",
         "[a]\n; c\nk=1\r\n\n[b]\n"},
        {"new section after a last line without end", "[a]\nx=1", Case::Write, "b", "z", "3",
         "[a]\nx=1\r\n[b]\r\nz=3\r\n"},
        {"line breaks in a value cannot add lines", "[s]\r\n", Case::Write, "s", "k", "a\r\n[t]",
         "[s]\r\nk=a  [t]\r\n"},
        {"delete the first key only", "[s]\r\nk=1\r\nk=2\r\n", Case::DeleteKey, "s", "K", "", "[s]\r\nk=2\r\n"},
    };
    return table;
}

std::string run(const Case& c)
{
    Document doc = Document::parse(c.file);
    switch (c.op) {
    case Case::Read:
        return show(doc.value(t(c.section), t(c.key)));
    case Case::Sections:
        return show(doc.sections());
    case Case::Keys:
        return show(doc.keys(t(c.section)));
    case Case::Write:
        doc.setValue(t(c.section), t(c.key), t(c.value));
        break;
    case Case::Erase:
        doc.removeSection(t(c.section));
        break;
    case Case::DeleteKey:
        doc.removeKey(t(c.section), t(c.key));
        break;
    }
    return doc.bytes();
}

} // namespace

TEST(IniCore, GivesWhatTheWindowsProfileFunctionsGive)
{
    for (const Case& c : cases())
        EXPECT_EQ(run(c), c.expected) << c.what;
}

TEST(IniCore, UntouchedFilesComeBackByteForByte)
{
    for (const Case& c : cases())
        EXPECT_EQ(Document::parse(c.file).bytes(), c.file) << c.what;
    // An odd byte at the end of a UTF-16 file stays too.
    const std::string odd = utf16le(u"[a]\r\n") + "x";
    EXPECT_EQ(Document::parse(odd).bytes(), odd);
}

TEST(IniCore, WritingTheSameValueIsNoChange)
{
    Document doc = Document::parse("[s]\r\nk=1\r\n");
    doc.setValue(u"S", u"K", u"1");
    EXPECT_FALSE(doc.modified());
    doc.setValue(u"s", u"k", u"2");
    EXPECT_TRUE(doc.modified());
}

// ---------------------------------------------------------------------------------------

namespace {

std::string slurp(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

struct TempDir {
    std::filesystem::path path;
    TempDir()
    {
        char tmpl[] = "/tmp/rd_ini_XXXXXX";
        path = mkdtemp(tmpl);
    }
    ~TempDir() { std::filesystem::remove_all(path); }
};

} // namespace

TEST(IniCoreFile, EditCreatesAndKeepsTheFile)
{
    TempDir dir;
    const auto path = dir.path / "rogerbeep.cfg";
    EXPECT_EQ(rdini::read(path).state, rdini::FileState::Missing);
    ASSERT_TRUE(rdini::edit(path, [](Document& d) { d.setValue(u"Beep", u"Tone1", u"1000"); }));
    EXPECT_EQ(slurp(path), "[Beep]\r\nTone1=1000\r\n");
    ASSERT_TRUE(rdini::edit(path, [](Document& d) { d.setValue(u"Beep", u"Tone2", u"2000"); }));
    EXPECT_EQ(slurp(path), "[Beep]\r\nTone1=1000\r\nTone2=2000\r\n");
    EXPECT_EQ(rdini::read(path).state, rdini::FileState::Read);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), {}), 1); // no temporary left
}

TEST(IniCoreFile, AFileThatCannotBeReadIsNeverWrittenOver)
{
    TempDir dir;
    const auto path = dir.path / "x.rem"; // a folder where the file should be: it exists, it cannot be read
    std::filesystem::create_directory(path);
    const rdini::Loaded file = rdini::read(path);
    EXPECT_EQ(file.state, rdini::FileState::Unreadable);
    EXPECT_NE(file.error.find(path.string()), std::string::npos) << file.error;
    std::string error;
    bool called = false;
    EXPECT_FALSE(rdini::edit(
        path,
        [&](Document& d) {
            called = true;
            d.setValue(u"s", u"k", u"1");
        },
        &error));
    EXPECT_FALSE(called);
    EXPECT_NE(error.find(path.string()), std::string::npos) << error;
    EXPECT_TRUE(std::filesystem::is_directory(path));
}
