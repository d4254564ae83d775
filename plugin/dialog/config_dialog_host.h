// The plugin's side of the configuration dialog: where the dialog comes from on this
// platform, whether it can be offered, and showing it for the plugin's ConfigDialog.
// Linux: a Qt 5 module in the folder "Relaydeck_Link" beside the plugin library, loaded
// only when the dialog is asked for. Windows: a native dialog inside the plugin library.
#pragma once
#include <string>

namespace rdplugin {

class ConfigDialog;

// The folder beside the plugin library that holds the dialog module, and the module's
// file name in it.
extern const char* const kDialogFolder; // "Relaydeck_Link"
extern const char* const kDialogModule; // "dialog_qt5.so"

// The dialog module's full path (Linux); empty where the dialog is built in.
std::string configDialogModulePath();

// Whether this installation can show the dialog; false with the reason in *why.
bool configDialogAvailable(std::string* why);

// Shows the dialog over the client's parent widget, modally; "" once it was shown and
// closed, otherwise why it could not be shown.
std::string showConfigDialog(ConfigDialog& dialog, void* parent);

} // namespace rdplugin
