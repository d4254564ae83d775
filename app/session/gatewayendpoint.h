// What the plugin session needs of an open gateway, and what a gateway needs of the
// session. The gateway engine implements GatewayEndpoint; the session engine implements
// LinkSender. Both live on the main thread.
#pragma once
#include "app/config/settingslist.h"

#include <memory>

#include <QString>

class LinkSender {
public:
    virtual ~LinkSender() = default;
    // One command: command word and already-escaped items joined by single blanks.
    virtual void SendToTS3(const QString& command, const QString& params) = 0;
};

class GatewayEndpoint {
public:
    virtual ~GatewayEndpoint() = default;
    virtual int TS3_scHandlerID() const = 0; // 0 = no server connection
    virtual QString gateUID() const = 0;     // braced GUID, 38 characters
    virtual bool TS3_IstConnected() const = 0;
    virtual QString windowTitle() const = 0; // for the link monitor's drop-down

    virtual void ResetGateway() = 0;
    virtual void StarteGateway(int n) = 0; // waits 5*n s, then asks for its connection
    virtual void TS3_Disconnect() = 0;
    // One routed line: command word and its items (values still escaped).
    virtual void ParseIncomingTS3Data(const QString& command, const SettingsList& items) = 0;
    // WriteConfigToGateway: the given list itself becomes the gateway's live settings (no
    // copy), so later changes to it act at once.
    virtual void WriteConfig(std::shared_ptr<SettingsList> settings) = 0;
    // StoppeGateway: close the gateway through its ordinary close path (sends GW_STOP).
    virtual void CloseGateway() = 0;
};

// The open gateways in window order. The main window keeps it current as windows are
// opened, activated and closed.
class GatewayDirectory {
public:
    virtual ~GatewayDirectory() = default;
    virtual QList<GatewayEndpoint*> gatewaysInWindowOrder() const = 0;
};
