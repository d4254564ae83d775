#include "app/gateway/remoteregister.h"

#include "app/config/inifile.h"

#include <QFileInfo>
#include <QStringDecoder>

namespace {
const QString kOne = QStringLiteral("1");
const QString kZero = QStringLiteral("0");

// A boolean as the profile functions read it: a decimal integer, non-zero is true;
// anything else (also a missing key) is false.
bool docBool(const IniDocument& doc, const QString& section, const QString& key)
{
    bool ok = false;
    const int v = doc.value(section, key).toInt(&ok, 10);
    return ok && v != 0;
}

int docInt(const IniDocument& doc, const QString& section, const QString& key, int fallback)
{
    bool ok = false;
    const int v = doc.value(section, key).toInt(&ok, 10);
    return ok ? v : fallback;
}
} // namespace

QString RemoteRegister::pathFor(const QString& configFolder, const QString& gateUID)
{
    QString folder = configFolder;
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')) && !folder.endsWith(QLatin1Char('\\')))
        folder += QLatin1Char('/');
    return folder + gateUID + QStringLiteral(".rem");
}

RemoteRegister::RemoteRegister(QString path) : m_path(std::move(path)) {}

bool RemoteRegister::exists() const
{
    return QFileInfo::exists(m_path);
}

bool RemoteRegister::IsRemoteAllowed(const QString& uid, const QString& key) const
{
    if (!exists())
        return false;
    const IniDocument doc = IniFile(m_path).read();
    return docBool(doc, uid, QLatin1String(kReg)) && !docBool(doc, uid, QLatin1String(kIgno)) && docBool(doc, uid, key);
}

bool RemoteRegister::IsRemoteRegistered(const QString& uid) const
{
    return readBool(uid, QLatin1String(kReg));
}

bool RemoteRegister::IsRemoteIgnored(const QString& uid) const
{
    return readBool(uid, QLatin1String(kIgno));
}

RemoteRegister::Request RemoteRegister::registerRequest(const QString& uid, const QString& nick)
{
    // An empty section name cannot be stored (and names no user).
    if (uid.trimmed().isEmpty())
        return Request::Failed;
    Request result = Request::Pending;
    const bool written = IniFile(m_path).edit([&](IniDocument& doc) {
        if (docBool(doc, uid, QLatin1String(kReg)) || docBool(doc, uid, QLatin1String(kIgno))) {
            result = Request::Decided;
            return;
        }
        // Asked before: the stored nickname stays. A section that only holds a VOLUME
        // (set with "#VOLUME" before any request) has no REG yet and counts as new.
        if (doc.hasKey(uid, QLatin1String(kReg)))
            return;
        doc.setValue(uid, QLatin1String(kNick), encodeNick(nick));
        doc.setValue(uid, QLatin1String(kReg), kZero);
        doc.setValue(uid, QLatin1String(kIgno), kZero);
        result = Request::Stored;
    });
    return written ? result : Request::Failed;
}

int RemoteRegister::volume(const QString& uid) const
{
    return readInteger(uid, QLatin1String(kVolume), 0);
}

bool RemoteRegister::exchangeVolume(const QString& uid, int value, int* old)
{
    int previous = 0;
    const bool ok = IniFile(m_path).edit([&](IniDocument& doc) {
        previous = docInt(doc, uid, QLatin1String(kVolume), 0);
        doc.setValue(uid, QLatin1String(kVolume), QString::number(value));
    });
    if (old)
        *old = previous;
    return ok;
}

bool RemoteRegister::readBool(const QString& uid, const QString& key) const
{
    if (!exists())
        return false;
    return docBool(IniFile(m_path).read(), uid, key);
}

int RemoteRegister::readInteger(const QString& uid, const QString& key, int fallback) const
{
    if (!exists())
        return fallback;
    return docInt(IniFile(m_path).read(), uid, key, fallback);
}

bool RemoteRegister::writeBool(const QString& uid, const QString& key, bool value)
{
    return IniFile(m_path).edit([&](IniDocument& doc) { doc.setValue(uid, key, value ? kOne : kZero); });
}

bool RemoteRegister::writeInteger(const QString& uid, const QString& key, int value)
{
    return IniFile(m_path).edit([&](IniDocument& doc) { doc.setValue(uid, key, QString::number(value)); });
}

bool RemoteRegister::writeDecision(const QString& uid, bool reg, bool igno)
{
    return IniFile(m_path).edit([&](IniDocument& doc) {
        doc.setValue(uid, QLatin1String(kReg), reg ? kOne : kZero);
        doc.setValue(uid, QLatin1String(kIgno), igno ? kOne : kZero);
    });
}

QList<RemoteRegister::User> RemoteRegister::users(Filter filter) const
{
    QList<User> out;
    if (!exists())
        return out;
    const IniDocument doc = IniFile(m_path).read();
    QStringList seen;
    for (const QString& section : doc.sections()) {
        // A section name that appears twice is one user (the first one counts).
        if (seen.contains(section, Qt::CaseInsensitive))
            continue;
        seen << section;
        const bool reg = docBool(doc, section, QLatin1String(kReg));
        const bool igno = docBool(doc, section, QLatin1String(kIgno));
        bool show = false;
        switch (filter) {
        case Filter::New:
            show = !reg && !igno;
            break;
        case Filter::Active:
            show = reg && !igno;
            break;
        case Filter::Ignored:
            show = igno;
            break;
        }
        if (show)
            out.append({section, decodeNick(doc.value(section, QLatin1String(kNick)))});
    }
    return out;
}

QString RemoteRegister::nick(const QString& uid) const
{
    if (!exists())
        return {};
    return decodeNick(IniFile(m_path).read().value(uid, QLatin1String(kNick)));
}

QString RemoteRegister::encodeNick(const QString& nick)
{
    return QString::fromLatin1(nick.toUtf8());
}

QString RemoteRegister::decodeNick(const QString& stored)
{
    for (QChar ch : stored)
        if (ch.unicode() > 0xFF)
            return stored;
    const QByteArray bytes = stored.toLatin1();
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8(bytes);
    // A register written by an older program holds Latin-1 names: keep them as they are.
    return utf8.hasError() ? stored : decoded;
}
