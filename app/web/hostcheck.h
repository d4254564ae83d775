// Which Host names the web server answers. A page of another site can reach this server
// through a name of its own that resolves to this machine (DNS rebinding); the browser
// then sends that name in the Host header. Served are: IP addresses (v4 and v6, with or
// without a port), "localhost", this machine's own names, a request without a Host
// header, and the names the operator lists in the HTTP_HOSTS setting. Everything else is
// refused.
#pragma once
#include <QString>
#include <QStringList>

class HostCheck {
public:
    // ownNames: this machine's names (MachineNames() in the program).
    explicit HostCheck(const QStringList& allowed = {}, const QStringList& ownNames = MachineNames());

    bool allows(const QString& hostHeader) const;

    // The name part of a Host header: port and the brackets of an IPv6 literal removed,
    // lower case, without a final dot. "[::1]:8011" -> "::1", "Relais.Local.:80" -> "relais.local".
    static QString nameOf(const QString& hostHeader);
    // The host name, its short form, "<short>.local" and the name in this machine's DNS
    // domain, in lower case.
    static QStringList MachineNames();
    // The names of a setting text: separated by commas, semicolons or blanks.
    static QStringList parseList(const QString& text);

private:
    QStringList m_names; // normalised, besides "localhost"
};
