// The gateway's view of its serial ports coming and going: one red log line when a port
// it keys or reads is lost ("COM7 lost: /dev/serial/by-id/..."), one green line when it is
// open again. While a port is lost the relay sees it closed, so nothing stays keyed on it.
#include "app/gateway/gatewayengine.h"

#include "app/config/gatewaykeys.h"
#include "app/config/texts.h"

#include <utility>

void GatewayEngine::comPortWatch()
{
    const TickSettings& t = tickSettings();
    QList<int> used;
    for (const TickSettings::Line* line : {&t.out, &t.txOut, &t.in}) {
        const int port = line->num;
        if (line->on && port > 0 && !used.contains(port))
            used << port;
    }
    const bool en = !used.isEmpty() && AppLang() == QLatin1String("en_US");
    for (int port : used) {
        const QString lost = m_host.COMPortLostDevice(port);
        const QString name = QStringLiteral("COM") + QString::number(port);
        if (!lost.isEmpty() && !m_lostComPorts.contains(port)) {
            m_lostComPorts.insert(port, lost);
            WriteLog(name + (en ? QStringLiteral(" lost: ") : QStringLiteral(" verloren: ")) + lost, GwColor::Red);
        } else if (lost.isEmpty() && m_lostComPorts.contains(port) && m_host.COMPortIsOpen(port)) {
            WriteLog(name + (en ? QStringLiteral(" reopened: ") : QStringLiteral(" wieder geöffnet: ")) +
                         m_lostComPorts.take(port),
                     GwColor::Green);
        }
    }
    // Ports no longer used (settings changed) are forgotten.
    for (auto it = m_lostComPorts.begin(); it != m_lostComPorts.end();)
        it = used.contains(it.key()) ? std::next(it) : m_lostComPorts.erase(it);
}
