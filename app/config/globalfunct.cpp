#include "app/config/globalfunct.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QUuid>

#include <memory>

QString Base64Text(const QString& text)
{
    if (text.isEmpty())
        return QString();
    return QString::fromLatin1(text.toLatin1().toBase64());
}

QString Base64ToUnicode(const QString& base64)
{
    const auto decoded =
        QByteArray::fromBase64Encoding(base64.trimmed().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return QString();
    const QByteArray& bytes = *decoded;
    QString out;
    out.reserve(bytes.size() / 2);
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
        out.append(QChar(char16_t(quint8(bytes[i]) | (quint8(bytes[i + 1]) << 8))));
    return out;
}

QString NewGuidText()
{
    return QUuid::createUuid().toString(QUuid::WithBraces).toUpper();
}

bool IsGuidText(const QString& text)
{
    if (text.size() != 38 || text.front() != QLatin1Char('{') || text.back() != QLatin1Char('}'))
        return false;
    for (int i = 1; i < 37; ++i) {
        const QChar c = text[i];
        if (i == 9 || i == 14 || i == 19 || i == 24) {
            if (c != QLatin1Char('-'))
                return false;
        } else if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                     (c >= QLatin1Char('A') && c <= QLatin1Char('F')))) {
            return false;
        }
    }
    return true;
}

QString PadLeft(const QString& text, int length, QChar fill)
{
    return text.rightJustified(length, fill, false);
}

int StrToIntOrMinus1(const QString& text)
{
    return StrToIntDef(text, -1);
}

QStringList ListFiles(const QString& dir, const QString& pattern)
{
    QDir d(dir);
    const QFileInfoList infos = d.entryInfoList({pattern}, QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase);
    QStringList out;
    out.reserve(infos.size());
    for (const QFileInfo& fi : infos)
        out.append(fi.absoluteFilePath());
    return out;
}

bool WriteFileAtomic(const QString& path, const QByteArray& bytes)
{
    QSaveFile f(path);
    f.setDirectWriteFallback(false);
    // Unbuffered: a short write (disk full, size limit) shows at once instead of being
    // lost in a buffer that is flushed while the file is committed.
    if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    if (f.write(bytes) != bytes.size()) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

std::unique_lock<std::mutex> LockPath(const QString& path)
{
    static std::mutex registryMutex;
    static QHash<QString, std::shared_ptr<std::mutex>> locks;
    const QString key = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    std::mutex* m;
    {
        std::lock_guard<std::mutex> g(registryMutex);
        auto& slot = locks[key];
        if (!slot)
            slot = std::make_shared<std::mutex>();
        m = slot.get(); // entries are never removed, so the mutex outlives this call
    }
    return std::unique_lock<std::mutex>(*m);
}

QByteArray EncodeSettings(const SettingsList& list)
{
    return list.toText().toLatin1().toBase64();
}

std::optional<QByteArray> DecodeSettingsBytes(const QByteArray& fileBytes)
{
    QByteArray compact;
    compact.reserve(fileBytes.size());
    for (char c : fileBytes)
        if (c != ' ' && c != '\r' && c != '\n' && c != '\t')
            compact.append(c);
    const auto decoded = QByteArray::fromBase64Encoding(compact, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    return *decoded;
}

std::optional<SettingsList> DecodeSettings(const QByteArray& fileBytes)
{
    const auto bytes = DecodeSettingsBytes(fileBytes);
    if (!bytes)
        return std::nullopt;
    return SettingsList::fromText(QString::fromLatin1(*bytes));
}

std::optional<SettingsList> LoadSettingsFile(const QString& path)
{
    QByteArray bytes;
    {
        auto lock = LockPath(path);
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return std::nullopt;
        bytes = f.readAll();
        if (f.error() != QFileDevice::NoError)
            return std::nullopt;
    }
    return DecodeSettings(bytes);
}

bool SaveSettingsFile(const QString& path, const SettingsList& list)
{
    const QByteArray bytes = EncodeSettings(list);
    auto lock = LockPath(path);
    return WriteFileAtomic(path, bytes);
}
