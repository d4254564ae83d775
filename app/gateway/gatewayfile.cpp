// The gateway's files: its settings file and the rules of its registered users.
#include "app/gateway/gatewayengine.h"

#include "app/config/gatewayconfig.h"
#include "app/config/globalfunct.h"
#include "app/config/inifile.h"

bool GatewayEngine::LoadGatewayFile(const QString& path, SettingsList& out)
{
    const std::optional<SettingsList> list = LoadSettingsFile(path);
    if (!list)
        return false;
    out = *list;
    return true;
}

bool GatewayEngine::SaveGatewayFile(const QString& path, const SettingsList& list)
{
    return gatewayconfig::save(path, list);
}

void GatewayEngine::CompleteWithDefaults(SettingsList& list)
{
    gatewayconfig::completeWithDefaults(list, m_clock);
}

GatewayEngine::UserRules GatewayEngine::ReadUserRules(const QString& clientUID)
{
    UserRules rules;
    if (m_gateUID.isEmpty())
        return rules;
    const IniFile ini(m_host.configFolder() + m_gateUID + QStringLiteral(".rem"));
    const IniDocument doc = ini.read();
    rules.volume = StrToIntDef(doc.value(clientUID, QStringLiteral("VOLUME")), 0);
    rules.notp = TextToBool(doc.value(clientUID, QStringLiteral("NOTP")));
    return rules;
}
