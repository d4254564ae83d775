// Chat commands of TeamSpeak users: a private message "#WORD p1 p2" to the gateway's
// client arrives from the plugin as a REMOTE line (so do the plugin's menu entries
// "Register Client" and "MOVE in Channel", as "register" and "move"). The handler checks
// the sender against the gateway's user register, carries the command out through link
// commands and answers the sender in a coloured private message in the program's
// language.
//
// The handler only needs the narrow RemoteCommandHost below, so it runs without a whole
// gateway engine; the engine implements the host over its own lists and sender.
#pragma once
#include "app/config/settingslist.h"

#include <QString>

class RemoteCommandHost {
public:
    virtual ~RemoteCommandHost() = default;

    // The gateway's server connection handler id (TS3_scHandlerID).
    virtual int scHandlerID() const = 0;
    // A gateway setting (DATARRAY), "" when absent.
    virtual QString setting(const QString& key) const = 0;
    // An own-client flag as last reported by SELFVAR (TS3FLAGS), "" when absent.
    virtual QString ts3Flag(const QString& flag) const = 0;
    // Sets a delayed action of the one-second counters (COUNTER); "" removes it.
    virtual void setCounter(const QString& name, const QString& seconds) = 0;
    // One link command: command word and already-escaped items (SendToTS3).
    virtual void sendToTS3(const QString& command, const QString& params) = 0;

    enum class LogKind {
        NewRequest, // a new registration request: bold navy
        Command,    // a handled chat command: grey
        Error,      // the register could not be written: red
    };
    virtual void writeLog(const QString& text, LogKind kind) = 0;
    // The 1750 Hz call tone of the gateway's tone signals.
    virtual void playCallTone() = 0;
    // Full path of the gateway's user register (configuration folder + gateUID + ".rem").
    virtual QString registerPath() const = 0;
};

namespace remote {

// Reply colours (six hexadecimal digits).
inline constexpr const char* kRed = "FF0000";     // refusals and errors
inline constexpr const char* kGreen = "008000";   // done
inline constexpr const char* kNavy = "000080";    // registration and help
inline constexpr const char* kDarkRed = "800000"; // "#INFO"

// "[b][color=#" + colour + "]" + text + "[/color][/b]", not yet escaped.
QString BBCode(const char* colour, const QString& text);

// ASCII letters a-z made upper case; every other character stays.
QString AsciiUpper(const QString& text);

} // namespace remote

// One REMOTE event. cmd is the command word in upper case (ASCII letters only); items
// are the line's items with their values still escaped (scHandler, fromID, fromUID,
// fromNick, fromCHAN, cmd, pp1, pp2). Replies go out only when the items hold fromID.
void HandleRemoteCommand(RemoteCommandHost& host, const QString& cmd, const SettingsList& items);
