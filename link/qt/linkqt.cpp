#include "link/qt/linkqt.h"

#include "link/wire.h"

#include <QByteArray>
#include <QStringDecoder>
#include <QStringList>

#include <string_view>

namespace {

std::string_view bytesOf(const QByteArray& b)
{
    return {b.constData(), size_t(b.size())};
}

// Every character of the escape table is ASCII, and in UTF-8 an ASCII byte never occurs
// inside another character. So escaping the UTF-8 bytes and decoding them again changes
// exactly the table's characters and keeps every other one, whatever its code.
template <class F>
QString onUtf8(const QString& text, F&& transform)
{
    const QByteArray bytes = text.toUtf8();
    const std::string out = transform(bytesOf(bytes));
    return QString::fromUtf8(out.data(), qsizetype(out.size()));
}

} // namespace

QString LinkEscape(const QString& text)
{
    return onUtf8(text, [](std::string_view s) { return rdlink::escape(s); });
}

QString LinkUnescape(const QString& escaped)
{
    if (!escaped.contains(QLatin1Char('^')))
        return escaped;
    return onUtf8(escaped, [](std::string_view s) { return rdlink::unescape(s); });
}

QString LinkText(const QString& escaped)
{
    const QString plain = LinkUnescape(escaped);
    for (QChar ch : plain)
        if (ch.unicode() > 0xFF)
            return plain;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8(plain.toLatin1());
    return utf8.hasError() ? plain : decoded;
}

QString LinkItems(std::initializer_list<LinkItem> items)
{
    QStringList parts;
    parts.reserve(qsizetype(items.size()));
    for (const LinkItem& it : items)
        parts << it.first + QLatin1Char('=') + it.second;
    return parts.join(QLatin1Char(' '));
}
