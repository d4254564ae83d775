#include "app/session/blocklines.h"

QStringList BlockLines::feed(const QByteArray& block)
{
    QStringList lines;
    qsizetype end = block.indexOf('\0');
    if (end < 0)
        end = block.size();
    const char* p = block.constData();
    qsizetype start = 0;
    for (qsizetype i = 0; i < end; ++i) {
        if (p[i] != '\r' && p[i] != '\n')
            continue;
        if (m_skipping) {
            m_skipping = false;
        } else {
            m_pending.append(p + start, i - start);
            if (!m_pending.isEmpty())
                lines.append(QString::fromLatin1(m_pending));
        }
        m_pending.clear();
        start = i + 1;
    }
    if (!m_skipping && start < end) {
        m_pending.append(p + start, end - start);
        if (m_pending.size() > m_maxLine) {
            m_pending.clear();
            m_skipping = true;
        }
    }
    return lines;
}

QString BlockLines::takePending()
{
    const QString rest = QString::fromLatin1(m_pending);
    m_pending.clear();
    m_skipping = false;
    return rest;
}

void BlockLines::reset()
{
    m_pending.clear();
    m_skipping = false;
}
