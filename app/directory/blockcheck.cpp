#include "app/directory/blockcheck.h"

#include "app/directory/directoryclient.h"

BlockCheck::BlockCheck(DirectoryClient* client, QString action, QString idName, QString idValue, QObject* parent)
    : QObject(parent), m_client(client), m_action(std::move(action)), m_idName(std::move(idName)),
      m_idValue(std::move(idValue))
{
    m_timer.setInterval(kIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &BlockCheck::tick);
}

void BlockCheck::tick()
{
    if (m_answered) {
        m_timer.stop();
        return;
    }
    if (m_pending)
        return;
    DirectoryClient* client = m_client ? m_client : DirectoryClient::shared();
    if (!client || !client->isConfigured())
        return; // no service: nothing to ask, the check waits for an address
    SettingsList items;
    items.setValue(m_idName, m_idValue);
    m_pending = true;
    client->SendeZuWavenestAsync(QStringLiteral("index.php"), DirectoryClient::actionParams(m_action, items), this,
                                 [this](bool answered) {
                                     m_pending = false;
                                     if (answered && !m_answered) {
                                         m_answered = true;
                                         if (onAnswered)
                                             onAnswered();
                                     }
                                 });
}
