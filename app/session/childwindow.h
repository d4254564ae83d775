// What the main window needs of the windows inside its multi-document area. Every child
// window widget derives from ChildWindow (besides its Qt base) so the main window can find
// the gateways in window order, group windows by kind and end them when the program quits.
#pragma once
#include "app/session/gatewayendpoint.h"

enum class ChildKind {
    Gateway,         // a gateway window
    GatewaySetup,    // gateway setup
    GatewayList,     // gateway list
    SupportForm,     // support form
    StartWindow,     // start window
    WindowList,      // window list
    AppSetup,        // application setup
    RogerBeepEditor, // roger beep editor
    RemoteUsers,     // remote user register
    ComPortEditor,   // COM port editor
    ComStatus,       // COM status window
    LinkMonitor,     // link monitor ("DEBUG")
};

class ChildWindow {
public:
    virtual ~ChildWindow() = default;
    virtual ChildKind childKind() const = 0;
    // The gateway engine of a gateway window; nullptr for every other window.
    virtual GatewayEndpoint* gatewayEndpoint() { return nullptr; }
    // Called for every child while the program quits, before the window is closed. A
    // gateway window stops its gateway (GW_STOP) and saves its file here.
    virtual void endForQuit() {}
    // The program quits without asking (a termination signal): before any window ends,
    // every window drops what was not saved, so the files stay as they were saved last,
    // and it will close without a question. Returns what was dropped, for the log ("" for
    // nothing).
    virtual QString dropUnsavedForQuit() { return {}; }
};
