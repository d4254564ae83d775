#include "app/gateway/gatewaywire.h"

#include <QStringList>

namespace {
struct Code {
    QChar ch;
    const char* code;
};
const Code kCodes[] = {
    {QChar(0x20), "^s"}, {QChar(0x7C), "^p"}, {QChar(0x0D), "^r"}, {QChar(0x0A), "^n"},
    {QChar(0x09), "^t"}, {QChar(0x0B), "^v"}, {QChar(0x5C), "^b"}, {QChar(0x2F), "^c"},
    {QChar(0x0C), "^f"}, {QChar(0x08), "^d"}, {QChar(0x07), "^a"}, {QChar(0x3D), "^g"},
};
} // namespace

QString LinkEscape(const QString& text)
{
    QString out = text;
    for (const Code& c : kCodes)
        out.replace(c.ch, QLatin1String(c.code));
    return out;
}

QString LinkUnescape(const QString& text)
{
    QString out = text;
    for (const Code& c : kCodes)
        out.replace(QLatin1String(c.code), QString(c.ch));
    return out;
}

QString LinkText(const QString& escaped)
{
    const QString plain = LinkUnescape(escaped);
    // Characters above 0xFF cannot have come from the wire as single bytes; keep such a
    // text as it is rather than mangling it.
    for (QChar ch : plain)
        if (ch.unicode() > 0xFF)
            return plain;
    return QString::fromUtf8(plain.toLatin1());
}

QString LinkItems(std::initializer_list<LinkItem> items)
{
    QStringList parts;
    parts.reserve(qsizetype(items.size()));
    for (const LinkItem& it : items)
        parts << it.first + QLatin1Char('=') + it.second;
    return parts.join(QLatin1Char(' '));
}
