// The configuration dialog on Windows: a native dialog box (user32, no toolkit). The
// client's Qt there is built with another compiler than this library, so its widgets
// cannot be used from here. The dialog is modal to the window that is active on the
// client's GUI thread, which is where the client calls ts3plugin_configure.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "plugin/dialog/dialog_abi.h"

namespace {

enum : WORD { kIdLabel = 100, kIdPort = 101, kIdError = 102, kIdNote = 103 };

std::wstring widen(const char* utf8)
{
    if (!utf8 || !*utf8)
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    if (n <= 0)
        return {};
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, out.data(), n);
    out.resize(static_cast<size_t>(n - 1));
    return out;
}

std::string narrow(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return {};
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
    out.resize(static_cast<size_t>(n - 1));
    return out;
}

// An in-memory dialog template (DLGTEMPLATE and DLGITEMTEMPLATE records, in dialog
// units), so the library needs no resource script.
class Template {
public:
    Template(DWORD style, short cx, short cy, const std::wstring& title, WORD items)
    {
        dword(style);
        dword(0); // extended style
        word(items);
        word(0); // x, y: placed in WM_INITDIALOG
        word(0);
        word(static_cast<WORD>(cx));
        word(static_cast<WORD>(cy));
        word(0); // no menu
        word(0); // the standard dialog class
        text(title);
        word(8); // DS_SETFONT: point size and face
        text(L"MS Shell Dlg");
    }

    void item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD windowClass, const std::wstring& title)
    {
        if (m_words.size() % 2)
            word(0); // every item starts on a DWORD boundary
        dword(style | WS_CHILD);
        dword(0);
        word(static_cast<WORD>(x));
        word(static_cast<WORD>(y));
        word(static_cast<WORD>(cx));
        word(static_cast<WORD>(cy));
        word(id);
        word(0xFFFF); // a predefined class by its atom
        word(windowClass);
        text(title);
        word(0); // no creation data
    }

    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }

private:
    void word(WORD w) { m_words.push_back(w); }
    void dword(DWORD d)
    {
        word(LOWORD(d));
        word(HIWORD(d));
    }
    void text(const std::wstring& s)
    {
        m_words.insert(m_words.end(), s.begin(), s.end());
        word(0);
    }
    std::vector<WORD> m_words; // new[] storage: aligned for DLGTEMPLATE
};

constexpr WORD kButtonClass = 0x0080, kEditClass = 0x0081, kStaticClass = 0x0082;

struct State {
    const RdLinkConfigDialog* d = nullptr;
    HFONT errorFont = nullptr;
};

void centreOnOwner(HWND dialog)
{
    RECT box{}, area{};
    GetWindowRect(dialog, &box);
    HWND owner = GetWindow(dialog, GW_OWNER);
    if (!owner || !GetWindowRect(owner, &area))
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    const int w = box.right - box.left, h = box.bottom - box.top;
    SetWindowPos(dialog, nullptr, area.left + (area.right - area.left - w) / 2,
                 area.top + (area.bottom - area.top - h) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* state = reinterpret_cast<State*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG: {
        state = reinterpret_cast<State*>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
        const int maxLength = state->d->maxLength > 0 ? state->d->maxLength : 5;
        SendDlgItemMessageW(dialog, kIdPort, EM_LIMITTEXT, static_cast<WPARAM>(maxLength), 0);
        SetDlgItemTextW(dialog, kIdPort, widen(state->d->portText).c_str());
        LOGFONTW font{};
        if (GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof font, &font)) {
            font.lfWeight = FW_BOLD;
            font.lfItalic = TRUE;
            state->errorFont = CreateFontIndirectW(&font);
            SendDlgItemMessageW(dialog, kIdError, WM_SETFONT, reinterpret_cast<WPARAM>(state->errorFont), FALSE);
        }
        centreOnOwner(dialog);
        return TRUE; // the focus goes to the text box, the first tab stop
    }
    case WM_CTLCOLORSTATIC: {
        const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
        if (id != kIdError && id != kIdNote)
            break;
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, id == kIdError ? RGB(0xDC, 0x14, 0x3C) : RGB(0x00, 0x00, 0x80)); // crimson, navy
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) { // "Save", or Enter: the default button
            const int length = GetWindowTextLengthW(GetDlgItem(dialog, kIdPort));
            std::wstring typed(static_cast<size_t>(length) + 1, L'\0');
            GetDlgItemTextW(dialog, kIdPort, typed.data(), length + 1);
            typed.resize(static_cast<size_t>(length));
            const bool saved = state->d->save(state->d->context, narrow(typed).c_str()) != 0;
            ShowWindow(GetDlgItem(dialog, kIdError), saved ? SW_HIDE : SW_SHOW);
            if (saved)
                EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) { // Escape or the close box: nothing is stored
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        break;
    case WM_DESTROY:
        if (state && state->errorFont) {
            DeleteObject(state->errorFont);
            state->errorFont = nullptr;
        }
        break;
    default:
        break;
    }
    return FALSE;
}

int fail(char* error, size_t errorSize, const char* why, DWORD code)
{
    if (error && errorSize > 0)
        std::snprintf(error, errorSize, "%s (error %lu)", why, static_cast<unsigned long>(code));
    return -1;
}

} // namespace

extern "C" int rdlink_show_native_config_dialog(void*, const RdLinkConfigDialog* d, char* error, size_t errorSize)
{
    if (!d || d->abi != RDLINK_DIALOG_ABI || !d->save)
        return fail(error, errorSize, "the dialog does not match the plugin", 0);
    // No minimise or maximise box, no icon (the modal frame), owned and so not in the
    // task bar.
    // Dialog units: the note is about 45 average characters of 4 units each.
    Template t(DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU, 200, 54, widen(d->title), 5);
    t.item(SS_LEFT | WS_VISIBLE, 7, 9, 44, 8, kIdLabel, kStaticClass, widen(d->portLabel));
    t.item(ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | WS_VISIBLE, 54, 7, 40, 12, kIdPort, kEditClass, L"");
    t.item(BS_DEFPUSHBUTTON | WS_TABSTOP | WS_VISIBLE, 103, 6, 50, 14, IDOK, kButtonClass, widen(d->saveButton));
    t.item(SS_LEFT, 7, 26, 186, 9, kIdError, kStaticClass, widen(d->errorText)); // hidden at first
    t.item(SS_LEFT | WS_VISIBLE, 7, 39, 186, 9, kIdNote, kStaticClass, widen(d->note));

    State state;
    state.d = d;
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&dialogProc), &self);
    const INT_PTR result =
        DialogBoxIndirectParamW(self, t.get(), GetActiveWindow(), dialogProc, reinterpret_cast<LPARAM>(&state));
    if (result == -1 || result == 0)
        return fail(error, errorSize, "the dialog box could not be created", GetLastError());
    return 0;
}
