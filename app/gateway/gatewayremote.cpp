// Chat commands of registered TeamSpeak users: the engine hands a REMOTE line to the
// command handler through a narrow host over its own lists, sender and log.
#include "app/gateway/gatewayengine.h"
#include "app/gateway/remotecommands.h"
#include "app/gateway/remoteregister.h"

void GatewayEngine::HandleRemoteCommand(const QString& cmd, const SettingsList& items)
{
    class Host final : public RemoteCommandHost {
    public:
        explicit Host(GatewayEngine& e) : m_e(e) {}
        int scHandlerID() const override { return m_e.TS3_scHandlerID(); }
        QString setting(const QString& key) const override { return m_e.DATARRAY.value(key); }
        QString ts3Flag(const QString& flag) const override { return m_e.TS3FLAGS.value(flag); }
        void setCounter(const QString& name, const QString& s) override { m_e.COUNTER.setValue(name, s); }
        void sendToTS3(const QString& c, const QString& p) override { m_e.send(c, p); }
        void writeLog(const QString& text, LogKind kind) override
        {
            switch (kind) {
            case LogKind::NewRequest:
                m_e.WriteLog(text, GwColor::Navy, GwStyle::Bold);
                break;
            case LogKind::Command:
                m_e.WriteLog(text, GwColor::Grey);
                break;
            case LogKind::Error:
                m_e.WriteLog(text, GwColor::Red);
                break;
            }
        }
        void playCallTone() override { m_e.PlayCallTone(); }
        QString registerPath() const override
        {
            return RemoteRegister::pathFor(m_e.host().configFolder(), m_e.gateUID());
        }

    private:
        GatewayEngine& m_e;
    };
    Host h(*this);
    ::HandleRemoteCommand(h, cmd, items);
}
