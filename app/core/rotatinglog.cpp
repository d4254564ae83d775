#include "app/core/rotatinglog.h"

#include <QDir>
#include <QFileInfo>

RotatingLog::RotatingLog(QString path, qint64 maxBytes, int kept)
    : m_path(std::move(path)), m_maxBytes(maxBytes), m_kept(kept < 1 ? 1 : kept)
{}

QString RotatingLog::fileNameFor(const QString& gateName)
{
    QString out;
    for (const QChar c : gateName)
        out += (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.category() == QChar::Other_Control)
                   ? QLatin1Char('_')
                   : c;
    out = out.trimmed();
    if (out.startsWith(QLatin1Char('.')))
        out[0] = QLatin1Char('_');
    return out.isEmpty() ? QStringLiteral("gateway") : out;
}

bool RotatingLog::open()
{
    if (m_file.isOpen())
        return true;
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    m_file.setFileName(m_path);
    return m_file.open(QIODevice::WriteOnly | QIODevice::Append);
}

void RotatingLog::rotate()
{
    m_file.close();
    const auto name = [this](int i) { return i == 0 ? m_path : m_path + QLatin1Char('.') + QString::number(i); };
    QFile::remove(name(m_kept - 1));
    for (int i = m_kept - 2; i >= 0; --i)
        if (QFile::exists(name(i)))
            QFile::rename(name(i), name(i + 1));
}

bool RotatingLog::append(const QString& line)
{
    if (!open())
        return false;
    const QByteArray bytes = line.toUtf8() + '\n';
    const bool ok = m_file.write(bytes) == bytes.size() && m_file.flush();
    if (m_file.size() >= m_maxBytes)
        rotate();
    return ok;
}
