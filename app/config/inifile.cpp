#include "app/config/inifile.h"

#include "app/config/logging.h"

namespace {

std::u16string text(const QString& s)
{
    return s.toStdU16String();
}
QString qtext(const std::u16string& s)
{
    return QString::fromStdU16String(s);
}
std::filesystem::path fsPath(const QString& p)
{
    return std::filesystem::path(p.toStdU16String());
}

} // namespace

IniDocument IniDocument::fromBytes(const QByteArray& bytes)
{
    return IniDocument(rdini::Document::parse(std::string_view(bytes.constData(), size_t(bytes.size()))));
}

QByteArray IniDocument::toBytes() const
{
    const std::string b = m_doc.bytes();
    return QByteArray(b.data(), qsizetype(b.size()));
}

QString IniDocument::value(const QString& section, const QString& key, bool* found) const
{
    const std::optional<std::u16string> v = m_doc.value(text(section), text(key));
    if (found)
        *found = v.has_value();
    return v ? qtext(*v) : QString();
}

void IniDocument::setValue(const QString& section, const QString& key, const QString& value)
{
    m_doc.setValue(text(section), text(key), text(value));
}

bool IniDocument::removeKey(const QString& section, const QString& key)
{
    return m_doc.removeKey(text(section), text(key));
}

bool IniDocument::removeSection(const QString& section)
{
    return m_doc.removeSection(text(section));
}

QStringList IniDocument::sections() const
{
    QStringList out;
    for (const auto& s : m_doc.sections())
        out.append(qtext(s));
    return out;
}

QStringList IniDocument::keys(const QString& section) const
{
    QStringList out;
    for (const auto& k : m_doc.keys(text(section)))
        out.append(qtext(k));
    return out;
}

QList<QPair<QString, QString>> IniDocument::entries(const QString& section) const
{
    QList<QPair<QString, QString>> out;
    for (const auto& [k, v] : m_doc.entries(text(section)))
        out.append({qtext(k), qtext(v)});
    return out;
}

bool IniDocument::hasSection(const QString& section) const
{
    return m_doc.hasSection(text(section));
}

bool IniDocument::hasKey(const QString& section, const QString& key) const
{
    return m_doc.value(text(section), text(key)).has_value();
}

// ---------------------------------------------------------------------------------------

IniFile::IniFile(QString path) : m_path(std::move(path)) {}

IniDocument IniFile::read() const
{
    rdini::Loaded file = rdini::read(fsPath(m_path));
    if (file.state == rdini::FileState::Unreadable)
        qCWarning(lcConfig).noquote() << QString::fromStdString(file.error);
    return IniDocument(std::move(file.document));
}

bool IniFile::unreadable() const
{
    return rdini::read(fsPath(m_path)).state == rdini::FileState::Unreadable;
}

bool IniFile::edit(const std::function<void(IniDocument&)>& change)
{
    std::string error;
    const bool ok = rdini::edit(
        fsPath(m_path),
        [&](rdini::Document& doc) {
            IniDocument wrapped(std::move(doc));
            change(wrapped);
            doc = std::move(wrapped.core());
        },
        &error);
    // A change that could not be stored is lost: say so even when the log is quiet.
    if (!ok)
        qCCritical(lcConfig).noquote() << QString::fromStdString(error);
    return ok;
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

QStringList IniFile::sections() const
{
    return read().sections();
}
QStringList IniFile::keys(const QString& section) const
{
    return read().keys(section);
}
QList<QPair<QString, QString>> IniFile::entries(const QString& section) const
{
    return read().entries(section);
}
bool IniFile::sectionExists(const QString& section) const
{
    return read().hasSection(section);
}
bool IniFile::valueExists(const QString& section, const QString& key) const
{
    return read().hasKey(section, key);
}

bool IniFile::eraseSection(const QString& section)
{
    return edit([&](IniDocument& d) { d.removeSection(section); });
}

bool IniFile::deleteKey(const QString& section, const QString& key)
{
    return edit([&](IniDocument& d) { d.removeKey(section, key); });
}
