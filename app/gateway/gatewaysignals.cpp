// Tone signals, the beacon and wave announcements of a gateway. Until these features
// are built the hooks do nothing, so the relay runs without them.
#include "app/gateway/gatewayengine.h"

void GatewayEngine::PlayRogerBeep() {}
void GatewayEngine::PlayRxInfoBeep() {}
void GatewayEngine::PlayRxStartBeep() {}
void GatewayEngine::PlayRxEndBeep() {}
void GatewayEngine::PlayCallTone() {}
void GatewayEngine::PlayAnnouncement(const QString&, bool) {}
void GatewayEngine::WavePlayUpkeep() {}
void GatewayEngine::BeaconTick() {}
void GatewayEngine::PrepareLocalPlayer() {}
void GatewayEngine::ReleaseLocalPlayer() {}
