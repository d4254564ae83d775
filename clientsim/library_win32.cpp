#ifdef _WIN32
#include "clientsim/library.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

namespace clientsim {

namespace {

std::wstring widen(const std::string& utf8)
{
    if (utf8.empty())
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    if (n <= 0)
        return {};
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, out.data(), n);
    out.resize(static_cast<size_t>(n - 1));
    return out;
}

std::string lastErrorText()
{
    const DWORD code = GetLastError();
    char* text = nullptr;
    const DWORD n =
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string out = "LoadLibrary error: " + std::to_string(code);
    if (n && text) {
        std::string message(text, n);
        while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
            message.pop_back();
        out += " (" + message + ")";
    }
    if (text)
        LocalFree(text);
    return out;
}

} // namespace

void* openLibrary(const std::string& path, std::string& error)
{
    // The plugin's own dependencies are looked for beside it, as the client does.
    HMODULE lib = LoadLibraryExW(widen(path).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!lib)
        error = lastErrorText();
    return reinterpret_cast<void*>(lib);
}

void* librarySymbol(void* library, const char* name)
{
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void closeLibrary(void* library)
{
    if (library)
        FreeLibrary(static_cast<HMODULE>(library));
}

} // namespace clientsim
#endif
