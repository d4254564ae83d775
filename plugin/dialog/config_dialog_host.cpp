#include "plugin/dialog/config_dialog_host.h"

#include <mutex>

#include "plugin/dialog/dialog_abi.h"
#include "plugin/link_plugin.h"

#ifndef _WIN32
#include <dlfcn.h>
#include <sys/stat.h>
#endif

namespace rdplugin {

const char* const kDialogFolder = "Relaydeck_Link";
const char* const kDialogModule = "dialog_qt5.so";

namespace {

// save() of the dialog description: the plugin's own settings logic decides. Nothing may
// be thrown across the C line into the dialog.
int saveThunk(void* context, const char* text)
{
    try {
        auto* dialog = static_cast<ConfigDialog*>(context);
        dialog->setPortText(text ? text : "");
        return dialog->save() ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

std::string show(RdLinkShowConfigDialog fn, ConfigDialog& dialog, void* parent)
{
    const std::string port = dialog.portText();
    RdLinkConfigDialog d{};
    d.abi = RDLINK_DIALOG_ABI;
    d.title = ConfigDialog::kTitle;
    d.portLabel = ConfigDialog::kPortLabel;
    d.saveButton = ConfigDialog::kSaveButton;
    d.errorText = ConfigDialog::kErrorText;
    d.note = ConfigDialog::kNote;
    d.maxLength = ConfigDialog::kMaxLength;
    d.portText = port.c_str();
    d.context = &dialog;
    d.save = saveThunk;
    char error[512] = {};
    if (fn(parent, &d, error, sizeof error) != 0)
        return error[0] ? std::string(error) : std::string("the dialog could not be shown");
    return {};
}

} // namespace

#ifdef _WIN32

std::string configDialogModulePath()
{
    return {};
}

bool configDialogAvailable(std::string*)
{
    return true;
}

std::string showConfigDialog(ConfigDialog& dialog, void* parent)
{
    return show(rdlink_show_native_config_dialog, dialog, parent);
}

#else

std::string configDialogModulePath()
{
    // The library this code is in: the client's plugin folder, whatever the file is named.
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&configDialogModulePath), &info) == 0 || !info.dli_fname)
        return {};
    std::string self = info.dli_fname;
    const auto slash = self.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string(".") : self.substr(0, slash);
    return dir + "/" + kDialogFolder + "/" + kDialogModule;
}

bool configDialogAvailable(std::string* why)
{
    const std::string path = configDialogModulePath();
    struct stat st {};
    if (!path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        return true;
    if (why)
        *why = path.empty() ? std::string("the plugin's own folder is unknown") : path + " is missing";
    return false;
}

std::string showConfigDialog(ConfigDialog& dialog, void* parent)
{
    std::string why;
    if (!configDialogAvailable(&why))
        return why;
    // The module is built against Qt 5 and uses the client's copy, already in the
    // process. A host without Qt 5 would get a second Qt loaded under it: refuse first.
    using VersionFn = const char* (*)();
    const auto qtVersion = reinterpret_cast<VersionFn>(dlsym(RTLD_DEFAULT, "qVersion"));
    if (!qtVersion)
        return "the client is not a Qt program (no qVersion in the process); the dialog needs the client's Qt 5";
    const std::string version = qtVersion() ? qtVersion() : "";
    if (version.rfind("5.", 0) != 0)
        return "the dialog needs Qt 5, the client runs Qt " + version;

    // Loaded once and kept: a Qt module is not unloaded under a running application.
    // The lock is not held while the dialog runs: its event loop may call in again.
    static std::mutex mutex;
    static RdLinkShowConfigDialog loaded = nullptr;
    RdLinkShowConfigDialog fn = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!loaded) {
            const std::string path = configDialogModulePath();
            void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (!module) {
                const char* err = dlerror();
                return "cannot load " + path + ": " + (err ? err : "unknown error");
            }
            loaded = reinterpret_cast<RdLinkShowConfigDialog>(dlsym(module, RDLINK_DIALOG_SYMBOL));
            if (!loaded) {
                dlclose(module);
                return path + " has no " + RDLINK_DIALOG_SYMBOL;
            }
        }
        fn = loaded;
    }
    return show(fn, dialog, parent);
}

#endif

} // namespace rdplugin
