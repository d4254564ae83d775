#ifdef _WIN32
#include "plugin/host.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <vector>

namespace rdplugin {

void endProcess(int code)
{
    // ExitProcess would run the DLL detach of every library, ours included, while our
    // threads are gone mid-call: the client simply ends.
    ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(code));
    ::ExitProcess(static_cast<UINT>(code)); // not reached
}

const char* hostQtVersion()
{
    return nullptr;
}

int hostClientApiFromVersionResource()
{
    // The executable of the process (not this DLL); wide names, the path may hold any
    // character. A path longer than the buffer is cut off and then simply not found.
    std::vector<wchar_t> path(32768);
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0 || length >= path.size())
        return 0;
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.data(), &ignored);
    if (size == 0)
        return 0;
    std::vector<unsigned char> data(size);
    if (!::GetFileVersionInfoW(path.data(), 0, size, data.data()))
        return 0;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    if (!::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) || !fixed ||
        fixedSize < sizeof(VS_FIXEDFILEINFO) || fixed->dwSignature != 0xFEEF04BD)
        return 0;
    return clientApiForVersion(HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS));
}

} // namespace rdplugin
#endif
