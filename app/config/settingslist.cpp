#include "app/config/settingslist.h"

namespace {
// Name part of an entry: the text before the first "=" (the whole entry without one).
QStringView namePart(const QString& line)
{
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    return eq < 0 ? QStringView(line) : QStringView(line).left(eq);
}
} // namespace

// Runs on every gateway tick, so it avoids scanning each line for its "=": an entry can
// only match when the character right after the name's length is "=" (or the line ends
// there), and then its first characters are its whole name part.
int SettingsList::indexOf(const QString& name) const
{
    const qsizetype n = name.size();
    // A name part never holds "=", so such a name matches nothing.
    if (name.contains(QLatin1Char('=')))
        return -1;
    for (int i = 0; i < m_lines.size(); ++i) {
        const QString& line = m_lines[i];
        if (line.size() < n || (line.size() > n && line[n] != QLatin1Char('=')))
            continue;
        if (QStringView(line).left(n).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString SettingsList::value(const QString& name) const
{
    const int i = indexOf(name);
    return i < 0 ? QString() : valueAt(i);
}

QString SettingsList::nameAt(int i) const
{
    return namePart(m_lines.at(i)).toString();
}

QString SettingsList::valueAt(int i) const
{
    const QString& line = m_lines.at(i);
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    return eq < 0 ? QString() : line.mid(eq + 1);
}

void SettingsList::setValue(const QString& name, const QString& value)
{
    int i = indexOf(name);
    if (value.isEmpty()) {
        while (i >= 0) {
            m_lines.removeAt(i);
            i = indexOf(name);
        }
        return;
    }
    const QString line = name + QLatin1Char('=') + value;
    if (i >= 0)
        m_lines[i] = line;
    else
        m_lines.append(line);
}

bool SettingsList::boolValue(const QString& name) const
{
    return TextToBool(value(name));
}

int SettingsList::intValue(const QString& name, int fallback) const
{
    return StrToIntDef(value(name), fallback);
}

QString SettingsList::toText() const
{
    QString out;
    for (const QString& l : m_lines) {
        out += l;
        out += QLatin1String("\r\n");
    }
    return out;
}

SettingsList SettingsList::fromText(const QString& text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i <= n; ++i) {
        if (i == n || text[i] == QLatin1Char('\r') || text[i] == QLatin1Char('\n')) {
            if (i > start)
                lines.append(text.mid(start, i - start));
            start = i + 1;
        }
    }
    return SettingsList(lines);
}

qint64 StrToInt64Def(const QString& text, qint64 fallback)
{
    bool ok = false;
    const qint64 v = text.trimmed().toLongLong(&ok, 10);
    return ok ? v : fallback;
}

int StrToIntDef(const QString& text, int fallback)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    return ok ? v : fallback;
}

bool IsInteger(const QString& text)
{
    bool ok = false;
    text.trimmed().toInt(&ok, 10);
    return ok;
}

bool TextToBool(const QString& text)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    bool ok = false;
    const qint64 v = t.toLongLong(&ok, 10);
    return ok && v != 0;
}
