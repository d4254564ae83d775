// DTMF remote control from the radio side. Until it is built the gateway only shows
// that decoding is off.
#include "app/gateway/gatewayengine.h"

void GatewayEngine::OpenDtmf() {}
void GatewayEngine::CloseDtmf() {}
