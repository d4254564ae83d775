// What a gateway engine needs from the program around it: the serial port manager,
// folders, the application settings and the dialogs. The main window provides the real
// one; tests provide fakes.
#pragma once
#include "app/config/settingslist.h"

#include <QString>

class GatewayHost {
public:
    virtual ~GatewayHost() = default;

    // Serial port manager. Holders name who keeps an output pin on; the manager keeps a
    // pin active while any holder has it on.
    virtual bool COMPortIsOpen(int port) = 0;
    virtual void SetCOMStatus(const QString& holder, int port, const QString& pin, bool on, bool invert) = 0;
    virtual bool GetCOMStatus(int port, const QString& pin, bool invert) = 0;
    // The device a port lost (unplugged adapter) while it is looked for again; "" otherwise.
    virtual QString COMPortLostDevice(int /*port*/) { return QString(); }

    // Folders, each ending with a path separator.
    virtual QString configFolder() const = 0; // gateway files and user registers
    virtual QString soundFolder() const = 0;  // announcement files, one sub-folder per language
    virtual QString tempFolder() const = 0;   // rendered tone files
    virtual QString appLang() const = 0;      // "de_DE" or "en_US"
    virtual SettingsList& appSettings() = 0;

    // Dialogs. askYesNo returns true for Yes.
    virtual bool askYesNo(const QString& question) = 0;
    virtual void showError(const QString& text) = 0;
    // True while the main window is closing the whole program.
    virtual bool appIsClosing() const = 0;
};
