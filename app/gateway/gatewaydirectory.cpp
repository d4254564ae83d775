// Reports to the gateway directory service. Until the directory client is wired in,
// requests are dropped.
#include "app/gateway/gatewayengine.h"

void GatewayEngine::DirectoryRequest(const QString&, const SettingsList&) {}
void GatewayEngine::StartDirectoryChecks() {}
