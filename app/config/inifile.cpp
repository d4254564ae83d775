#include "app/config/inifile.h"

#include "app/config/globalfunct.h"

#include <QFile>

namespace {

QString trimmedValue(QStringView raw)
{
    QStringView v = raw.trimmed();
    // The profile functions drop one pair of matching quotes around a value.
    if (v.size() >= 2 && (v.front() == QLatin1Char('"') || v.front() == QLatin1Char('\'')) && v.back() == v.front())
        v = v.mid(1, v.size() - 2);
    return v.toString();
}

bool sameName(QStringView a, QStringView b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

} // namespace

IniDocument IniDocument::fromBytes(const QByteArray& bytes)
{
    IniDocument doc;
    const QString text = QString::fromLatin1(bytes);
    qsizetype start = 0;
    const qsizetype n = text.size();
    while (start < n) {
        qsizetype i = start;
        while (i < n && text[i] != QLatin1Char('\r') && text[i] != QLatin1Char('\n'))
            ++i;
        Line line{text.mid(start, i - start), QString()};
        if (i < n) {
            if (text[i] == QLatin1Char('\r') && i + 1 < n && text[i + 1] == QLatin1Char('\n')) {
                line.end = QStringLiteral("\r\n");
                i += 2;
            } else {
                line.end = text.mid(i, 1);
                ++i;
            }
        }
        doc.m_lines.append(line);
        start = i;
    }
    return doc;
}

QByteArray IniDocument::toBytes() const
{
    QString text;
    for (const Line& l : m_lines) {
        text += l.text;
        text += l.end;
    }
    return text.toLatin1();
}

IniDocument::Kind IniDocument::classify(const QString& text, QString* name, QString* value)
{
    QStringView t = QStringView(text).trimmed();
    if (t.isEmpty() || t.front() == QLatin1Char(';'))
        return Kind::Other;
    if (t.front() == QLatin1Char('[')) {
        const qsizetype close = t.indexOf(QLatin1Char(']'));
        if (close < 0)
            return Kind::Other;
        if (name)
            *name = t.mid(1, close - 1).trimmed().toString();
        return Kind::Section;
    }
    const qsizetype eq = t.indexOf(QLatin1Char('='));
    if (eq <= 0)
        return Kind::Other;
    QStringView key = t.left(eq).trimmed();
    if (key.isEmpty())
        return Kind::Other;
    if (name)
        *name = key.toString();
    if (value)
        *value = trimmedValue(t.mid(eq + 1));
    return Kind::Key;
}

bool IniDocument::findSection(const QString& section, int* header, int* end) const
{
    const QString wanted = section.trimmed();
    QString name;
    int h = -1;
    for (int i = 0; i < m_lines.size(); ++i) {
        if (classify(m_lines[i].text, &name, nullptr) != Kind::Section)
            continue;
        if (h >= 0) {
            *header = h;
            *end = i;
            return true;
        }
        if (sameName(name, wanted))
            h = i;
    }
    if (h < 0)
        return false;
    *header = h;
    *end = int(m_lines.size());
    return true;
}

int IniDocument::findKey(int header, int end, const QString& key) const
{
    const QString wanted = key.trimmed();
    QString name;
    for (int i = header + 1; i < end; ++i)
        if (classify(m_lines[i].text, &name, nullptr) == Kind::Key && sameName(name, wanted))
            return i;
    return -1;
}

QString IniDocument::value(const QString& section, const QString& key, bool* found) const
{
    int h, e;
    if (found)
        *found = false;
    if (!findSection(section, &h, &e))
        return QString();
    const int k = findKey(h, e, key);
    if (k < 0)
        return QString();
    if (found)
        *found = true;
    QString name, value;
    classify(m_lines[k].text, &name, &value);
    return value;
}

void IniDocument::setValue(const QString& section, const QString& key, const QString& value)
{
    const QString keyName = key.trimmed();
    const QString newText = keyName + QLatin1Char('=') + value;
    int h, e;
    if (!findSection(section, &h, &e)) {
        // A new section at the end; the last line gets its line end first.
        if (!m_lines.isEmpty() && m_lines.last().end.isEmpty())
            m_lines.last().end = QStringLiteral("\r\n");
        m_lines.append({QLatin1Char('[') + section.trimmed() + QLatin1Char(']'), QStringLiteral("\r\n")});
        m_lines.append({newText, QStringLiteral("\r\n")});
        m_modified = true;
        return;
    }
    const int k = findKey(h, e, keyName);
    if (k >= 0) {
        // Keep the key as the file spells it; only the value changes.
        QString name;
        classify(m_lines[k].text, &name, nullptr);
        QString replaced = name + QLatin1Char('=') + value;
        if (replaced != m_lines[k].text) {
            m_lines[k].text = replaced;
            m_modified = true;
        }
        return;
    }
    // After the last non-blank line of the section, so blank separators stay between sections.
    int at = e;
    while (at > h + 1 && m_lines[at - 1].text.trimmed().isEmpty())
        --at;
    if (m_lines[at - 1].end.isEmpty())
        m_lines[at - 1].end = QStringLiteral("\r\n");
    m_lines.insert(at, {newText, QStringLiteral("\r\n")});
    m_modified = true;
}

bool IniDocument::removeKey(const QString& section, const QString& key)
{
    int h, e;
    if (!findSection(section, &h, &e))
        return false;
    const int k = findKey(h, e, key);
    if (k < 0)
        return false;
    m_lines.removeAt(k);
    m_modified = true;
    return true;
}

bool IniDocument::removeSection(const QString& section)
{
    int h, e;
    if (!findSection(section, &h, &e))
        return false;
    m_lines.remove(h, e - h);
    m_modified = true;
    return true;
}

QStringList IniDocument::sections() const
{
    QStringList out;
    QString name;
    for (const Line& l : m_lines) {
        if (classify(l.text, &name, nullptr) != Kind::Section)
            continue;
        bool seen = false;
        for (const QString& s : out)
            if (sameName(s, name)) {
                seen = true;
                break;
            }
        if (!seen)
            out.append(name);
    }
    return out;
}

QList<QPair<QString, QString>> IniDocument::entries(const QString& section) const
{
    QList<QPair<QString, QString>> out;
    int h, e;
    if (!findSection(section, &h, &e))
        return out;
    QString name, value;
    for (int i = h + 1; i < e; ++i) {
        if (classify(m_lines[i].text, &name, &value) != Kind::Key)
            continue;
        bool seen = false;
        for (const auto& p : out)
            if (sameName(p.first, name)) {
                seen = true;
                break;
            }
        if (!seen)
            out.append({name, value});
    }
    return out;
}

QStringList IniDocument::keys(const QString& section) const
{
    QStringList out;
    for (const auto& p : entries(section))
        out.append(p.first);
    return out;
}

bool IniDocument::hasSection(const QString& section) const
{
    int h, e;
    return findSection(section, &h, &e);
}

bool IniDocument::hasKey(const QString& section, const QString& key) const
{
    bool found = false;
    value(section, key, &found);
    return found;
}

// ---------------------------------------------------------------------------------------

IniFile::IniFile(QString path) : m_path(std::move(path)) {}

namespace {
IniDocument loadUnlocked(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return IniDocument();
    return IniDocument::fromBytes(f.readAll());
}
} // namespace

IniDocument IniFile::read() const
{
    auto lock = LockPath(m_path);
    return loadUnlocked(m_path);
}

bool IniFile::edit(const std::function<void(IniDocument&)>& change)
{
    auto lock = LockPath(m_path);
    IniDocument doc = loadUnlocked(m_path);
    change(doc);
    if (!doc.isModified())
        return true;
    return WriteFileAtomic(m_path, doc.toBytes());
}

QString IniFile::readString(const QString& section, const QString& key, const QString& fallback) const
{
    bool found = false;
    QString v = read().value(section, key, &found);
    return found ? v : fallback;
}

int IniFile::readInteger(const QString& section, const QString& key, int fallback) const
{
    bool ok = false;
    const int v = readString(section, key).toInt(&ok, 10);
    return ok ? v : fallback;
}

bool IniFile::readBool(const QString& section, const QString& key, bool fallback) const
{
    return readInteger(section, key, fallback ? 1 : 0) != 0;
}

bool IniFile::writeString(const QString& section, const QString& key, const QString& value)
{
    return edit([&](IniDocument& d) { d.setValue(section, key, value); });
}

bool IniFile::writeInteger(const QString& section, const QString& key, qint64 value)
{
    return writeString(section, key, QString::number(value));
}

bool IniFile::writeBool(const QString& section, const QString& key, bool value)
{
    return writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

QStringList IniFile::sections() const { return read().sections(); }
QStringList IniFile::keys(const QString& section) const { return read().keys(section); }
QList<QPair<QString, QString>> IniFile::entries(const QString& section) const { return read().entries(section); }
bool IniFile::sectionExists(const QString& section) const { return read().hasSection(section); }
bool IniFile::valueExists(const QString& section, const QString& key) const { return read().hasKey(section, key); }

bool IniFile::eraseSection(const QString& section)
{
    return edit([&](IniDocument& d) { d.removeSection(section); });
}

bool IniFile::deleteKey(const QString& section, const QString& key)
{
    return edit([&](IniDocument& d) { d.removeKey(section, key); });
}
