// Diagnostic log: one Qt logging category per module, all under "relaydeck.". They are off
// by default (nothing below a critical message is written); `relaydeck --verbose` turns
// every one on, and QT_LOGGING_RULES picks single ones, for example
//   QT_LOGGING_RULES="relaydeck.serial=true;relaydeck.session.debug=false"
// What goes here is for the person who looks after the program: port opens and their
// failures with the system's reason, dropped or over-long lines, session errors,
// directory requests. What the user must see stays in the windows and the gateway logs.
#pragma once
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcCore)      // relaydeck.core: start-up, quit, headless
Q_DECLARE_LOGGING_CATEGORY(lcSession)   // relaydeck.session: the link to the plugin
Q_DECLARE_LOGGING_CATEGORY(lcGateway)   // relaydeck.gateway: gateway engines
Q_DECLARE_LOGGING_CATEGORY(lcSerial)    // relaydeck.serial: ports and modem lines
Q_DECLARE_LOGGING_CATEGORY(lcAudio)     // relaydeck.audio: sound devices, tones, DTMF
Q_DECLARE_LOGGING_CATEGORY(lcConfig)    // relaydeck.config: settings and INI files
Q_DECLARE_LOGGING_CATEGORY(lcWeb)       // relaydeck.web: the HTTP server
Q_DECLARE_LOGGING_CATEGORY(lcDirectory) // relaydeck.directory: directory service requests
Q_DECLARE_LOGGING_CATEGORY(lcUi)        // relaydeck.ui: windows

namespace rdlog {
// The filter rule that turns every category on (what --verbose sets).
inline constexpr const char* kVerboseRules = "relaydeck.*=true";
// Turns every category on, unless QT_LOGGING_RULES says otherwise for a category.
void enableVerbose();
} // namespace rdlog
