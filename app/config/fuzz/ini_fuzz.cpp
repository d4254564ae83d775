// libFuzzer target: the INI files of the program (comport.cfg, rogerbeep.cfg, the .rem
// registers, firstrun.ini), read and changed the way the program does.
// Checks: no crash or sanitizer report; a document that is only read writes back the
// same bytes; a value stored under a section and key reads back the same after the
// document is written and parsed again, and other sections keep their values.
#include "app/config/inifile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const char* what, const QByteArray& input)
{
    std::fprintf(stderr, "%s for input %s\n", what, input.toHex().constData());
    std::abort();
}

// A name or value the program could write: printable, no line break, no bracket or
// equals sign in names, no surrounding blanks, no quotes in values (reading trims and
// unquotes).
QString cleanName(const QByteArray& raw)
{
    QString out;
    for (char c : raw) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || c == '[' || c == ']' || c == '=' || c == ';')
            continue;
        out += QChar(u);
    }
    out = out.trimmed();
    while (out.startsWith(QLatin1Char('"')))
        out.remove(0, 1);
    return out.trimmed();
}

QString cleanValue(const QByteArray& raw)
{
    QString out;
    for (char c : raw) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u != 0x7F && c != '"' && c != '\'')
            out += QChar(u);
    }
    return out.trimmed();
}

// Whether the file has a key line of that name without "=": such a line is listed among
// the keys but reads as missing, as on Windows.
bool hasBareLine(const QByteArray& fileBytes, const QString& key)
{
    QString text;
    if (fileBytes.startsWith("\xFF\xFE"))
        text = QString::fromUtf16(reinterpret_cast<const char16_t*>(fileBytes.constData() + 2),
                                  (fileBytes.size() - 2) / 2);
    else if (fileBytes.startsWith("\xFE\xFF"))
        return true; // big-endian text: not worth decoding here, the unit tests cover it
    else
        text = QString::fromLatin1(fileBytes);
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    for (QString line : text.split(QLatin1Char('\n'))) {
        while (!line.isEmpty() && (line.front() == QLatin1Char(' ') || line.front() == QLatin1Char('\t')))
            line.remove(0, 1);
        while (!line.isEmpty() && (line.back() == QLatin1Char(' ') || line.back() == QLatin1Char('\t')))
            line.chop(1);
        if (!line.contains(QLatin1Char('=')) && line.compare(key, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    // The last line, after a 0x00 byte, holds the change: section 0x01 key 0x01 value.
    const qsizetype cut = input.lastIndexOf('\0');
    const QByteArray fileBytes = cut < 0 ? input : input.left(cut);
    const QList<QByteArray> change = cut < 0 ? QList<QByteArray>() : input.mid(cut + 1).split('\x01');

    IniDocument doc = IniDocument::fromBytes(fileBytes);
    const QStringList sections = doc.sections();
    for (const QString& s : sections)
        for (const QString& k : doc.keys(s)) {
            bool found = false;
            (void)doc.value(s, k, &found);
            if (!found && !hasBareLine(fileBytes, k))
                fail("listed key not found", input);
        }
    (void)doc.entries(sections.value(0));
    if (doc.isModified() || doc.toBytes() != fileBytes)
        fail("unchanged document does not write back its bytes", input);

    if (change.size() < 3)
        return 0;
    const QString section = cleanName(change[0]);
    const QString key = cleanName(change[1]);
    const QString value = cleanValue(change[2]);
    if (section.isEmpty() || key.isEmpty())
        return 0;

    // What the other sections hold before the change.
    QList<QPair<QString, QList<QPair<QString, QString>>>> others;
    for (const QString& s : sections)
        if (s.compare(section, Qt::CaseInsensitive) != 0)
            others.append({s, doc.entries(s)});

    doc.setValue(section, key, value);
    const IniDocument back = IniDocument::fromBytes(doc.toBytes());
    bool found = false;
    if (back.value(section, key, &found) != value || !found)
        fail("stored value does not read back", input);
    for (const auto& o : others)
        if (back.entries(o.first) != o.second)
            fail("another section changed", input);

    IniDocument removed = back;
    removed.removeKey(section, key);
    (void)removed.toBytes();
    removed.removeSection(section);
    (void)IniDocument::fromBytes(removed.toBytes()).sections();
    return 0;
}
