// The differential test of our INI reader and writer against the profile functions of
// Wine (profile_driver.c run under Wine does the other half):
//
//   rd_ini_wine prepare DIR SEED COUNT   generates COUNT files and operation scripts from
//                                        SEED, runs them through our reader, and writes
//                                        DIR/script.txt (for the driver) and DIR/ours.txt
//   rd_ini_wine compare DIR              compares DIR/ours.txt with DIR/wine.txt
//
// Each case is one file and a few operations on it (reads, writes, deletes, erases),
// then the file as our writer left it is read back in full by the driver: so the test
// covers reading, the effect of writing, and whether what we write reads the same there.
//
// Where Wine is known to differ from Windows, we follow Windows; a case whose file holds
// one of these constructs is excluded by rule (and counted):
//   - a UTF-8 byte order mark at the start (Wine honours it, Windows reads it as text);
//   - a header with a second "]" (Wine ends the name at the last one);
//   - a header without "]" (Wine ignores the line, Windows names the section to the end);
//   - a key line before the first header (Wine reads it as a section of its own);
//   - a NUL character (Wine loses the text after it).
// The differential run found two more, which these rules exclude as well:
//   - a vertical tab, form feed, ^Z (1A) or, in UTF-16, another Unicode space in the file
//     or in a written value (Wine trims all of them; Windows only blanks and tabs);
//   - a key line with an empty name ("=value"; Wine lists such names erratically: none
//     at all when the first key of a section has one, one for several);
//   - a non-ASCII letter in both cases, as in "Küche" and "KÜCHE" (Wine compares
//     non-ASCII letters exactly; Windows and we ignore their case).
// Wine also rewrites the whole file on every write (comments of erased sections go); the
// test compares what reads give, never the bytes Wine writes, so that needs no rule.
#include "ini/ini.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

using rdini::Document;
using rdini::Text;

// A small deterministic generator, the same on every platform and library.
struct Rng {
    uint64_t s;
    explicit Rng(uint64_t seed) : s(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint32_t next()
    {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return uint32_t(s >> 16);
    }
    size_t below(size_t n) { return n ? next() % n : 0; }
    bool chance(int percent) { return int(below(100)) < percent; }
    template <typename T>
    const T& pick(const std::vector<T>& v)
    {
        return v[below(v.size())];
    }
};

// Windows-1252, the ANSI code page Wine uses for the 8-bit files here.
char16_t cp1252(unsigned char b)
{
    static const char16_t high[32] = {0x20AC, 0x81,   0x201A, 0x192,  0x201E, 0x2026, 0x2020, 0x2021,
                                      0x2C6,  0x2030, 0x160,  0x2039, 0x152,  0x8D,   0x17D,  0x8F,
                                      0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x2DC,  0x2122, 0x161,  0x203A, 0x153,  0x9D,   0x17E,  0x178};
    return b >= 0x80 && b < 0xA0 ? high[b - 0x80] : char16_t(b);
}

// A text of our reader as Unicode: 8-bit files through the code page, UTF-16 as it is.
Text asUnicode(const Text& t, bool utf16)
{
    if (utf16)
        return t;
    Text out;
    for (char16_t c : t)
        out.push_back(cp1252(static_cast<unsigned char>(c)));
    return out;
}

std::string hex(const Text& t)
{
    if (t.empty())
        return "-";
    std::string out;
    char b[8];
    for (char16_t c : t) {
        std::snprintf(b, sizeof b, "%04X", unsigned(c));
        out += b;
    }
    return out;
}

std::string hexList(const std::vector<Text>& list, bool utf16)
{
    std::string out;
    for (size_t i = 0; i < list.size(); ++i)
        out += (i ? "," : "") + hex(asUnicode(list[i], utf16));
    return out;
}

Text u(std::string_view latin1)
{
    return rdini::fromLatin1(latin1);
}

// The pieces files are made of. 8-bit texts are bytes; the UTF-16 pool adds characters
// beyond Latin-1.
const std::vector<std::string> kSections = {"COM1",
                                            "com1",
                                            "Com1",
                                            "COM2",
                                            "u",
                                            "LINKSettings",
                                            "linksettings",
                                            "Beep",
                                            "s p",
                                            "K\xFC"
                                            "che",
                                            "x"};
// The same name with a capital non-ASCII letter, used now and then (see the rules).
const std::string kCapitalSection = "K\xDC"
                                    "CHE";

std::string section(Rng& r)
{
    return r.chance(1) ? kCapitalSection : r.pick(kSections);
}
const std::vector<std::string> kKeys = {"ident", "IDENT", "activ", "PORT", "port",     "NICK",
                                        "k",     "K",     "noeq",  "a b",  "\xE9t\xE9"};
const std::vector<std::string> kValues = {"1",
                                          "0",
                                          "26010",
                                          "\"26010\"",
                                          "'q'",
                                          "\"a'",
                                          "Nicol\xC3\xA0",
                                          "Check \xE2\x9C\x85",
                                          "Jo \xF0\x9F\x98\x85",
                                          " spaced ",
                                          "\ttab\t",
                                          "",
                                          "a=b",
                                          "x\xA0",
                                          ";semi",
                                          "[br]",
                                          "\"",
                                          "''",
                                          "\xA0",
                                          "\x85"};
// Values Wine trims and Windows does not (see the rules above), used now and then.
const std::vector<std::string> kOtherSpaceValues = {"v\x0B", "\x1A", "\x0C"};
const std::vector<Text> kWideValues = {u"\u041F\u0440\u0438\u0432\u0435\u0442", u"\u2705", u"\U0001F605 x", u"x\u00A0",
                                       u"\u0420"};

struct Case {
    std::string name;
    std::string bytes; // the file as generated
    bool utf16 = false;
};

std::string lineEnd(Rng& r, int style)
{
    static const char* ends[] = {"\r\n", "\n", "\r"};
    return style < 3 ? ends[style] : ends[r.below(3)];
}

std::string blanks(Rng& r)
{
    static const std::vector<std::string> b = {"", "", "", " ", "  ", "\t", " \t "};
    return r.pick(b);
}

std::string header(Rng& r, const std::string& name)
{
    const size_t kind = r.below(40);
    if (kind < 4)
        return blanks(r) + "[" + blanks(r) + name + blanks(r) + "]" + blanks(r);
    if (kind < 6)
        return "[" + name + "] ; note";
    if (kind < 8)
        return "[" + name + "]x";
    if (kind < 9)
        return "[" + name + blanks(r); // no "]"
    if (kind < 10)
        return "[" + name + "]]";
    return "[" + name + "]";
}

std::string value(Rng& r)
{
    return r.chance(2) ? r.pick(kOtherSpaceValues) : r.pick(kValues);
}

std::string keyLine(Rng& r)
{
    const std::string key = r.pick(kKeys), value = ::value(r);
    const size_t kind = r.below(100);
    if (kind < 10)
        return blanks(r) + key + blanks(r) + "=" + blanks(r) + value + blanks(r);
    if (kind < 17)
        return key; // bare
    if (kind < 22)
        return blanks(r) + ";" + key + "=" + value;
    if (kind < 23)
        return "=" + value;
    return key + "=" + value;
}

// The file as text lines (8-bit) or as UTF-16 text, and which rules it falls under.
Case generate(Rng& r, int n)
{
    Case c;
    char name[32];
    std::snprintf(name, sizeof name, "c%04d", n);
    c.name = name;
    c.utf16 = r.chance(20);
    const int style = int(r.below(5));
    std::string text;
    if (r.chance(1))
        text += "\xEF\xBB\xBF";
    if (r.chance(2))
        text += keyLine(r) + lineEnd(r, style);
    const size_t lines = 1 + r.below(14);
    for (size_t i = 0; i < lines; ++i) {
        const size_t kind = i == 0 ? 0 : r.below(10);
        if (kind <= 1)
            text += header(r, section(r));
        else if (kind <= 6)
            text += keyLine(r);
        else if (kind == 7)
            text += blanks(r) + "; comment";
        else
            text += blanks(r);
        if (r.below(400) == 0)
            text += std::string(1, '\0') + "z";
        if (i + 1 < lines || r.chance(70))
            text += lineEnd(r, style);
    }
    if (!c.utf16) {
        c.bytes = text;
        return c;
    }
    Text wide;
    for (char ch : text)
        wide.push_back(cp1252(static_cast<unsigned char>(ch)));
    if (r.chance(50))
        wide += u"k=" + r.pick(kWideValues) + u"\r\n";
    std::string bytes = "\xFF\xFE";
    for (char16_t ch : wide) {
        bytes.push_back(char(ch & 0xFF));
        bytes.push_back(char(ch >> 8));
    }
    c.bytes = bytes;
    return c;
}

// The file's text as code units (what our reader sees), for the rules.
Text textOf(const std::string& bytes, bool utf16)
{
    if (!utf16)
        return u(bytes);
    Text t;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
        t.push_back(char16_t(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8));
    return t;
}

bool otherSpace(const Text& t, bool utf16)
{
    for (char16_t c : t) {
        if (c == 0x0B || c == 0x0C || c == 0x1A)
            return true;
        if (utf16 && (c == 0x85 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 ||
                      c == 0x202F || c == 0x205F || c == 0x3000))
            return true;
    }
    return false;
}

// A Latin-1 letter that occurs as a capital and as a small letter.
bool bothCases(const Text& t)
{
    bool seen[256] = {};
    for (char16_t c : t)
        if (c < 256)
            seen[c] = true;
    for (unsigned c = 0xC0; c <= 0xDE; ++c)
        if (c != 0xD7 && seen[c] && seen[c + 32])
            return true;
    return false;
}

std::vector<std::string> rulesFor(const std::string& bytes, bool utf16, const Text& written)
{
    std::vector<std::string> rules;
    const Text t = textOf(bytes, utf16);
    if (otherSpace(t, utf16) || otherSpace(written, utf16))
        rules.push_back("other-space");
    if (bothCases(t + written))
        rules.push_back("non-ascii-case");
    if (!utf16 && bytes.rfind("\xEF\xBB\xBF", 0) == 0)
        rules.push_back("utf8-bom");
    if (t.find(char16_t(0)) != Text::npos)
        rules.push_back("nul");
    bool seenHeader = false, before = false, second = false, open = false, emptyName = false;
    size_t start = 0;
    while (start <= t.size()) {
        size_t end = t.find_first_of(u"\r\n", start);
        if (end == Text::npos)
            end = t.size();
        Text line = t.substr(start, end - start);
        const size_t first = line.find_first_not_of(u" \t");
        if (first != Text::npos) {
            const char16_t c = line[first];
            if (c == u'[') {
                seenHeader = true;
                const size_t close = line.find(u']', first);
                if (close == Text::npos)
                    open = true;
                else if (line.find(u']', close + 1) != Text::npos)
                    second = true;
            } else if (c != u';' && !seenHeader) {
                before = true;
            } else if (c == u'=') {
                emptyName = true;
            }
        }
        start = end + 1;
    }
    if (second)
        rules.push_back("second-bracket");
    if (open)
        rules.push_back("header-without-bracket");
    if (before)
        rules.push_back("key-before-first-section");
    if (emptyName)
        rules.push_back("empty-key-name");
    return rules;
}

std::string winPath(const std::string& unixPath)
{
    std::string p = "Z:" + unixPath;
    for (char& c : p)
        if (c == '/')
            c = '\\';
    return p;
}

bool writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    return bool(out);
}

// Reads every section and every key of the document, as the driver is asked to.
void dump(const Document& d, bool utf16, std::ostream& script, std::ostream& ours, Rng& r, Text& names)
{
    script << "S\n";
    const std::vector<Text> sections = d.sections();
    ours << "S " << hexList(sections, utf16) << "\n";
    std::vector<Text> probes = sections;
    probes.push_back(u(section(r)));
    names += probes.back() + u"\n";
    for (const Text& s : probes) {
        const Text su = asUnicode(s, utf16);
        script << "K " << hex(su) << "\n";
        std::vector<Text> keys = d.keys(s);
        ours << "K " << hexList(keys, utf16) << "\n";
        keys.push_back(u(r.pick(kKeys)));
        names += keys.back() + u"\n";
        for (const Text& k : keys) {
            script << "R " << hex(su) << " " << hex(asUnicode(k, utf16)) << "\n";
            const std::optional<Text> v = d.value(s, k);
            ours << "R " << (v ? hex(asUnicode(*v, utf16)) : "!") << "\n";
        }
    }
}

int prepare(const std::string& dir, uint64_t seed, int count)
{
    Rng r(seed);
    std::ofstream script(dir + "/script.txt", std::ios::binary), ours(dir + "/ours.txt", std::ios::binary),
        rules(dir + "/rules.txt", std::ios::binary);
    for (int n = 0; n < count; ++n) {
        Case c = generate(r, n);
        const std::string wineFile = dir + "/" + c.name + ".ini", ourFile = dir + "/" + c.name + ".ours.ini";
        if (!writeFile(wineFile, c.bytes))
            return 2;
        script << "F " << winPath(wineFile) << "\n";
        ours << "# " << c.name << "\n";
        script << "# " << c.name << "\n"; // the driver ignores it; it keeps both outputs in step
        Document d = Document::parse(c.bytes);
        Text written;
        const int ops = 1 + int(r.below(8));
        for (int i = 0; i < ops; ++i) {
            const Text s = u(section(r)), k = u(r.pick(kKeys));
            const Text su = asUnicode(s, c.utf16), ku = asUnicode(k, c.utf16);
            written += s + u"\n" + k + u"\n";
            switch (r.below(9)) {
            case 0:
            case 1:
            case 2: {
                Text v = u(value(r));
                if (c.utf16) // text as an editor would have typed it
                    v = r.chance(30) ? r.pick(kWideValues) : asUnicode(v, false);
                // A value that starts or ends in a blank, or is empty, or holds a quote
                // pair, is written as it is: only the reading is compared.
                script << "W " << hex(su) << " " << hex(ku) << " " << hex(asUnicode(v, c.utf16)) << "\n";
                d.setValue(s, k, v);
                written += v;
                break;
            }
            case 3:
                script << "D " << hex(su) << " " << hex(ku) << "\n";
                d.removeKey(s, k);
                break;
            case 4:
                script << "E " << hex(su) << "\n";
                d.removeSection(s);
                break;
            case 5:
                script << "S\n";
                ours << "S " << hexList(d.sections(), c.utf16) << "\n";
                break;
            case 6:
                script << "K " << hex(su) << "\n";
                ours << "K " << hexList(d.keys(s), c.utf16) << "\n";
                break;
            default: {
                script << "R " << hex(su) << " " << hex(ku) << "\n";
                const std::optional<Text> v = d.value(s, k);
                ours << "R " << (v ? hex(asUnicode(*v, c.utf16)) : "!") << "\n";
            }
            }
        }
        // What our writer made of the file, read by the other side in full.
        if (!writeFile(ourFile, d.bytes()))
            return 2;
        script << "F " << winPath(ourFile) << "\n";
        dump(Document::parse(d.bytes()), c.utf16, script, ours, r, written);
        rules << c.name;
        for (const std::string& rule : rulesFor(c.bytes, c.utf16, written))
            rules << " " << rule;
        rules << "\n";
    }
    return 0;
}

std::vector<std::string> lines(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> out;
    std::string l;
    while (std::getline(in, l)) {
        if (!l.empty() && l.back() == '\r')
            l.pop_back();
        out.push_back(l);
    }
    return out;
}

int compare(const std::string& dir)
{
    std::map<std::string, std::string> rules;
    for (const std::string& l : lines(dir + "/rules.txt")) {
        const size_t sp = l.find(' ');
        rules[l.substr(0, sp)] = sp == std::string::npos ? "" : l.substr(sp + 1);
    }
    const std::vector<std::string> ours = lines(dir + "/ours.txt"), wine = lines(dir + "/wine.txt");
    // ours.txt has a "# case" line before each case's results; wine.txt has only results.
    size_t w = 0, checked = 0, excluded = 0, excludedDiffering = 0, failures = 0, reads = 0;
    std::map<std::string, size_t> perRule;
    std::string current;
    bool currentExcluded = false, currentDiffers = false;
    auto closeCase = [&] {
        if (current.empty())
            return;
        if (currentExcluded) {
            ++excluded;
            excludedDiffering += currentDiffers;
            std::istringstream s(rules[current]);
            for (std::string rule; s >> rule;)
                ++perRule[rule];
        } else {
            ++checked;
        }
    };
    for (const std::string& o : ours) {
        if (o.rfind("# ", 0) == 0) {
            closeCase();
            current = o.substr(2);
            currentExcluded = !rules[current].empty();
            currentDiffers = false;
            continue;
        }
        if (w >= wine.size()) {
            std::cerr << "wine.txt ends early, in " << current << "\n";
            return 1;
        }
        const std::string& x = wine[w++];
        ++reads;
        if (x == o)
            continue;
        currentDiffers = true;
        if (!currentExcluded && failures++ < 20)
            std::cerr << current << ": ours " << o << "\n"
                      << std::string(current.size(), ' ') << "  wine " << x << "\n";
    }
    closeCase();
    std::cout << "ini-wine: " << checked << " cases compared (" << reads << " results in all), " << failures
              << " differences; " << excluded << " cases excluded by rule (" << excludedDiffering
              << " of them differ):";
    for (const auto& [rule, n] : perRule)
        std::cout << " " << rule << " " << n;
    std::cout << "\n";
    return failures ? 1 : 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "prepare" && argc == 5)
        return prepare(argv[2], std::stoull(argv[3]), std::stoi(argv[4]));
    if (mode == "compare" && argc == 3)
        return compare(argv[2]);
    std::cerr << "usage: rd_ini_wine prepare DIR SEED COUNT | compare DIR\n";
    return 2;
}
