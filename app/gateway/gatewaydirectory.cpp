// Reports of a gateway to the directory service: its connection state when it changes
// and once an hour, and the block check with its gateUID every 5 s until the service
// answers. Requests go through the program's shared directory client and never wait:
// a gateway running day and night must not stall while the service is away.
#include "app/directory/blockcheck.h"
#include "app/directory/directoryclient.h"
#include "app/gateway/gatewayengine.h"

#include <QCoreApplication>
#include <QTimer>

class GatewayDirectoryChecks {
public:
    static constexpr int kStatPingMs = 3600000;

    explicit GatewayDirectoryChecks(GatewayEngine& engine)
        : block(nullptr, QStringLiteral("GATE-BLACKLIST"), QStringLiteral("gateUID"), engine.gateUID())
    {
        block.onAnswered = [&engine] { engine.CheckAppAbuse = true; };
        abuseCheck.setInterval(BlockCheck::kIntervalMs);
        QObject::connect(&abuseCheck, &QTimer::timeout, [&engine] { engine.abuseCheckTick(); });
        statPing.setInterval(kStatPingMs);
        QObject::connect(&statPing, &QTimer::timeout, [&engine] { engine.statPingTick(); });
    }

    BlockCheck block;  // nullptr client: the shared one
    QTimer abuseCheck; // AbuseCheck
    QTimer statPing;   // Timer_StatPing
};

void GatewayEngine::DirectoryRequest(const QString& action, const SettingsList& items)
{
    if (DirectoryClient* client = DirectoryClient::shared())
        client->SendeZuWavenestAsync(QStringLiteral("index.php"), DirectoryClient::actionParams(action, items));
}

void GatewayEngine::StartDirectoryChecks()
{
    CheckAppAbuse = false;
    m_directoryChecks = std::make_shared<GatewayDirectoryChecks>(*this);
    // Timers need the program's event loop; engines driven by hand have none.
    if (QCoreApplication::instance()) {
        m_directoryChecks->abuseCheck.start();
        m_directoryChecks->statPing.start();
    }
}

void GatewayEngine::abuseCheckTick()
{
    if (!m_directoryChecks)
        return;
    if (CheckAppAbuse || m_ended) {
        m_directoryChecks->abuseCheck.stop();
        return;
    }
    m_directoryChecks->block.setIdValue(m_gateUID);
    m_directoryChecks->block.tick();
}

void GatewayEngine::statPingTick()
{
    if (m_ended || !m_directoryChecks)
        return;
    SettingsList req;
    req.setValue(QStringLiteral("gateUID"), m_gateUID);
    if (m_connected) {
        req.setValue(QStringLiteral("server"), m_display.serverField);
        req.setValue(QStringLiteral("nick"), m_display.title);
        DirectoryRequest(QStringLiteral("GATE-ONLINE"), req);
    } else {
        DirectoryRequest(QStringLiteral("GATE-OFFLINE"), req);
    }
}
