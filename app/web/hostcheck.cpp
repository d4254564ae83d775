#include "app/web/hostcheck.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QRegularExpression>

HostCheck::HostCheck(const QStringList& allowed, const QStringList& ownNames)
{
    for (const QStringList* list : {&allowed, &ownNames})
        for (const QString& n : *list) {
            const QString name = nameOf(n);
            if (!name.isEmpty() && !m_names.contains(name))
                m_names.append(name);
        }
}

QString HostCheck::nameOf(const QString& hostHeader)
{
    QString h = hostHeader.trimmed().toLower();
    if (h.startsWith(QLatin1Char('['))) {
        const qsizetype close = h.indexOf(QLatin1Char(']'));
        return close < 0 ? QString() : h.mid(1, close - 1);
    }
    // One colon is a port; more than one is an IPv6 address without brackets.
    if (h.count(QLatin1Char(':')) == 1)
        h.truncate(h.indexOf(QLatin1Char(':')));
    while (h.endsWith(QLatin1Char('.')))
        h.chop(1);
    return h;
}

bool HostCheck::allows(const QString& hostHeader) const
{
    if (hostHeader.trimmed().isEmpty())
        return true; // HTTP/1.0 without a Host: no browser sends that, so no other site either
    const QString name = nameOf(hostHeader);
    if (name.isEmpty())
        return false;
    QHostAddress address;
    if (address.setAddress(name))
        return true;
    if (name == QLatin1String("localhost"))
        return true;
    return m_names.contains(name);
}

QStringList HostCheck::MachineNames()
{
    QStringList out;
    auto add = [&out](const QString& n) {
        const QString name = nameOf(n);
        if (!name.isEmpty() && !out.contains(name))
            out.append(name);
    };
    const QString host = QHostInfo::localHostName();
    const QString shortName = host.section(QLatin1Char('.'), 0, 0);
    add(host);
    add(shortName);
    if (!shortName.isEmpty())
        add(shortName + QStringLiteral(".local"));
    const QString domain = QHostInfo::localDomainName();
    if (!domain.isEmpty() && !shortName.isEmpty())
        add(shortName + QLatin1Char('.') + domain);
    return out;
}

QStringList HostCheck::parseList(const QString& text)
{
    static const QRegularExpression separators(QStringLiteral("[,;\\s]+"));
    QStringList out;
    for (const QString& part : text.split(separators, Qt::SkipEmptyParts)) {
        const QString name = nameOf(part);
        if (!name.isEmpty() && !out.contains(name))
            out.append(name);
    }
    return out;
}
