// Chat commands of registered TeamSpeak users. Until they are built a REMOTE line is
// accepted and ignored.
#include "app/gateway/gatewayengine.h"

void GatewayEngine::HandleRemoteCommand(const QString&, const SettingsList&) {}
