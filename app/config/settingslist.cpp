#include "app/config/settingslist.h"

#include <atomic>

namespace {
// Name part of an entry: the text before the first "=" (the whole entry without one).
QStringView namePart(const QString& line)
{
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    return eq < 0 ? QStringView(line) : QStringView(line).left(eq);
}

// Value part of an entry: the text after the first "=" (nothing without one).
QStringView valuePart(const QString& line)
{
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    return eq < 0 ? QStringView() : QStringView(line).sliced(eq + 1);
}

int toIntDef(QStringView text, int fallback)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    return ok ? v : fallback;
}

bool toBool(QStringView text)
{
    const QStringView t = text.trimmed();
    if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    bool ok = false;
    const qint64 v = t.toLongLong(&ok, 10);
    return ok && v != 0;
}

constexpr char16_t asciiLower(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? char16_t(c + (u'a' - u'A')) : c;
}

// Hash of an ASCII name without regard to case (FNV-1a); size_t(-1) for a name with a
// character outside ASCII.
size_t foldedHash(QStringView name)
{
    size_t h = 14695981039346656037ull;
    for (const QChar ch : name) {
        const char16_t c = ch.unicode();
        if (c >= 0x80)
            return size_t(-1);
        h = (h ^ asciiLower(c)) * 1099511628211ull;
    }
    return h == size_t(-1) ? 0 : h;
}

// Both ASCII and of the same length: equal without regard to case.
bool sameAsciiName(QStringView a, QStringView b)
{
    for (qsizetype i = 0; i < a.size(); ++i)
        if (asciiLower(a[i].unicode()) != asciiLower(b[i].unicode()))
            return false;
    return true;
}

// Of the same length: equal without regard to case, as Qt compares them (Unicode case
// folding); ASCII, the common case, is compared here, anything else by Qt.
bool sameName(QStringView a, QStringView b)
{
    for (qsizetype i = 0; i < a.size(); ++i) {
        const char16_t x = a[i].unicode();
        const char16_t y = b[i].unicode();
        if (x >= 0x80 || y >= 0x80)
            return a.sliced(i).compare(b.sliced(i), Qt::CaseInsensitive) == 0;
        if (asciiLower(x) != asciiLower(y))
            return false;
    }
    return true;
}

// The entry can hold a name n characters long: the character right after them is "=" (or
// the entry ends there), so its first n characters are its whole name part.
bool nameFits(const QString& line, qsizetype n)
{
    return line.size() == n || (line.size() > n && line[n] == QLatin1Char('='));
}
} // namespace

// Entry by entry. It avoids scanning each line for its "=": an entry can only match when
// the character right after the name's length is "=" (or the line ends there), and then
// its first characters are its whole name part.
int SettingsList::scan(const QString& name) const
{
    const qsizetype n = name.size();
    for (int i = 0; i < m_lines.size(); ++i) {
        const QString& line = m_lines[i];
        if (!nameFits(line, n))
            continue;
        if (sameName(QStringView(line).left(n), name))
            return i;
    }
    return -1;
}

int SettingsList::indexOf(const QString& name) const
{
    // A name part never holds "=", so such a name matches nothing.
    if (name.contains(QLatin1Char('=')))
        return -1;
    if (m_lines.size() < kTableFrom || m_noTable)
        return scan(name);
    if (m_slots.empty())
        buildTable();
    const size_t hash = foldedHash(name);
    // A name outside ASCII may match an entry by Unicode case folding: entry by entry.
    if (m_noTable || hash == size_t(-1))
        return scan(name);
    return lookUp(name, hash);
}

int SettingsList::lookUp(const QString& name, size_t hash) const
{
    const size_t mask = m_slots.size() - 1;
    for (size_t s = hash & mask;; s = (s + 1) & mask) {
        const int slot = m_slots[s];
        if (slot == 0)
            return -1;
        const QString& line = m_lines[slot - 1];
        if (nameFits(line, name.size()) && sameAsciiName(QStringView(line).left(name.size()), name))
            return slot - 1;
    }
}

void SettingsList::buildTable() const
{
    // At most every other slot taken, so probes stay short and always end.
    size_t size = 32;
    while (size < size_t(m_lines.size()) * 2)
        size *= 2;
    m_slots.assign(size, 0);
    for (int i = 0; i < m_lines.size(); ++i)
        if (!addToTable(i)) {
            m_slots.clear();
            m_noTable = true;
            return;
        }
}

bool SettingsList::addToTable(int i) const
{
    const QStringView name = namePart(m_lines[i]);
    const size_t hash = foldedHash(name);
    if (hash == size_t(-1))
        return false;
    const size_t mask = m_slots.size() - 1;
    for (size_t s = hash & mask;; s = (s + 1) & mask) {
        const int slot = m_slots[s];
        if (slot == 0) {
            m_slots[s] = i + 1;
            return true;
        }
        const QString& line = m_lines[slot - 1];
        if (nameFits(line, name.size()) && sameAsciiName(QStringView(line).left(name.size()), name))
            return true; // an earlier entry of the same name: the first one wins
    }
}

// One count for every list of the program: a revision is never given out twice, so a
// list put in another's place never looks unchanged.
quint64 SettingsList::nextRevision()
{
    static std::atomic<quint64> last{0};
    return last.fetch_add(1, std::memory_order_relaxed) + 1;
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
    return valuePart(m_lines.at(i)).toString();
}

void SettingsList::setValue(const QString& name, const QString& value)
{
    int i = indexOf(name);
    if (value.isEmpty()) {
        while (i >= 0) {
            m_lines.removeAt(i);
            dropTable();
            touch();
            i = indexOf(name);
        }
        return;
    }
    const QString line = name + QLatin1Char('=') + value;
    touch();
    if (i >= 0) {
        // The name part keeps its letters (in the case given now), so the table holds
        // unless they are no longer ASCII.
        m_lines[i] = line;
        if (!m_slots.empty() && foldedHash(name) == size_t(-1))
            dropTable();
        return;
    }
    m_lines.append(line);
    if (m_slots.empty() || size_t(m_lines.size()) * 2 > m_slots.size() || !addToTable(int(m_lines.size()) - 1))
        dropTable();
}

// Both read the entry in place: they run many times on every tick.
bool SettingsList::boolValue(const QString& name) const
{
    const int i = indexOf(name);
    return i >= 0 && toBool(valuePart(m_lines[i]));
}

int SettingsList::intValue(const QString& name, int fallback) const
{
    const int i = indexOf(name);
    return i < 0 ? fallback : toIntDef(valuePart(m_lines[i]), fallback);
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
    return toIntDef(text, fallback);
}

bool IsInteger(const QString& text)
{
    bool ok = false;
    text.trimmed().toInt(&ok, 10);
    return ok;
}

bool TextToBool(const QString& text)
{
    return toBool(text);
}
