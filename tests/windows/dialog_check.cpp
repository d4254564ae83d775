// The plugin's native settings dialog driven as a user would, in a Windows process (Wine
// in CI): loads Relaydeck_Link.dll, clicks the client's settings button
// (ts3plugin_configure on this, the GUI thread), and from a second thread types into the
// port box and presses Save through window messages. The settings file in the working
// folder holds PORT=26001 before; after "abc" it must be unchanged with the error shown,
// after "26010" the dialog closes and the file says PORT=26010.
//   dialog_check PATH\Relaydeck_Link.dll      exit code 0 = all checks passed
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace {

constexpr int kIdPort = 101, kIdError = 102;
const char* const kSettings = "Relaydeck[LINK].ini";
std::atomic<int> g_failures{0};
std::atomic<bool> g_configureReturned{false};

void check(bool ok, const std::string& what)
{
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    std::fflush(stdout);
    if (!ok)
        ++g_failures;
}

std::string settingsText()
{
    std::ifstream in(kSettings, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::wstring itemText(HWND dialog, int id)
{
    wchar_t buf[256] = {};
    GetDlgItemTextW(dialog, id, buf, 256);
    return buf;
}

HWND waitForDialog(int timeoutMs)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < until && !g_configureReturned) {
        // Shown only after WM_INITDIALOG has filled it in.
        HWND w = FindWindowW(L"#32770", L"Relaydeck_LINK");
        if (w && IsWindowVisible(w))
            return w;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return nullptr;
}

void pressSave(HWND dialog)
{
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
}

// The user's side, on its own thread while the dialog runs modally on the main thread.
void user()
{
    HWND dialog = waitForDialog(60000);
    check(dialog != nullptr, std::string("the settings button opens a window titled \"Relaydeck_LINK\"") +
                                 (g_configureReturned ? " (ts3plugin_configure returned without one)" : ""));
    if (!dialog)
        return;
    check(itemText(dialog, kIdPort) == L"26001", "the port box shows the stored port 26001");
    check(SendDlgItemMessageW(dialog, kIdPort, EM_GETLIMITTEXT, 0, 0) == 5, "the port box takes at most 5 characters");
    check(!IsWindowVisible(GetDlgItem(dialog, kIdError)), "no error shown at first");
    const LONG style = GetWindowLongW(dialog, GWL_STYLE);
    check(!(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX)), "no minimise or maximise box");

    const std::string before = settingsText();
    SetDlgItemTextW(dialog, kIdPort, L"abc");
    pressSave(dialog);
    check(IsWindow(dialog) && IsWindowVisible(dialog), "\"abc\" + Save keeps the dialog open");
    check(IsWindowVisible(GetDlgItem(dialog, kIdError)) && itemText(dialog, kIdError) == L"ERROR: Numbers only!!",
          "\"abc\" + Save shows \"ERROR: Numbers only!!\"");
    check(settingsText() == before, "\"abc\" + Save leaves the settings file unchanged");

    SetDlgItemTextW(dialog, kIdPort, L"26010");
    pressSave(dialog);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (IsWindow(dialog) && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    check(!IsWindow(dialog), "\"26010\" + Save closes the dialog");
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: dialog_check PATH\\Relaydeck_Link.dll\n");
        return 2;
    }
    std::ofstream(kSettings, std::ios::binary) << "[LINKSettings]\r\nPORT=26001\r\n";
    HMODULE plugin = LoadLibraryW(argv[1]);
    if (!plugin) {
        std::fprintf(stderr, "cannot load the plugin (error %lu)\n", GetLastError());
        return 1;
    }
    using OffersFn = int (*)();
    using ConfigureFn = void (*)(void*, void*);
    auto offers =
        reinterpret_cast<OffersFn>(reinterpret_cast<void*>(GetProcAddress(plugin, "ts3plugin_offersConfigure")));
    auto configure =
        reinterpret_cast<ConfigureFn>(reinterpret_cast<void*>(GetProcAddress(plugin, "ts3plugin_configure")));
    check(offers && configure, "the plugin exports ts3plugin_offersConfigure and ts3plugin_configure");
    if (!offers || !configure)
        return 1;
    check(offers() == 2, "it offers its configuration on the client's GUI thread (2)");

    std::thread userThread(user);
    configure(nullptr, nullptr); // returns once the dialog is closed
    g_configureReturned = true;
    userThread.join();
    const std::string after = settingsText();
    check(after.find("PORT=26010\r\n") != std::string::npos && after.find("PORT=26001") == std::string::npos,
          "the settings file now says PORT=26010 (and nothing else changed in it)");
    check(after == "[LINKSettings]\r\nPORT=26010\r\n", "the file is exactly the section and the new port");
    FreeLibrary(plugin);
    std::printf("%s\n", g_failures ? "dialog check FAILED" : "dialog check passed");
    return g_failures ? 1 : 0;
}
