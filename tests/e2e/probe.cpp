// Runs inside Wine beside the program under test and reports what a user
// would see: windows, the tray icon, the hot key, message boxes, menus and
// the clipboard. One command per run; answers on stdout in UTF-8, exit code
// 0 for yes/success and 1 for no/failure.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/strconv.h"

namespace {

void Print(const std::wstring& text) {
    const std::string bytes = platform::WideToUtf8(text + L"\n");
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    ::GetClassNameW(window, name, 256);
    return name;
}

std::wstring TextOf(HWND window) {
    wchar_t text[1024] = {};
    ::GetWindowTextW(window, text, 1024);
    return text;
}

std::wstring RectOf(HWND window) {
    RECT rc = {};
    ::GetWindowRect(window, &rc);
    wchar_t text[96];
    std::swprintf(text, 96, L"%ld %ld %ld %ld", rc.left, rc.top, rc.right, rc.bottom);
    return text;
}

BOOL CALLBACK CollectWindow(HWND w, LPARAM p) {
    reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
    return TRUE;
}

std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> windows;
    ::EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

HWND WaitForWindow(const wchar_t* className, const wchar_t* title, DWORD ms) {
    for (DWORD waited = 0;; waited += 100) {
        HWND found = ::FindWindowW(className, title);
        if (found || waited >= ms) return found;
        ::Sleep(100);
    }
}

HWND Shell() { return ::FindWindowW(L"LumsekMainShell", nullptr); }

int Fail(const wchar_t* what) {
    Print(what);
    return 1;
}

// The windows whose owner is `owner`, with their class, visibility and rectangle.
int ListOwned(HWND owner) {
    for (HWND w : TopLevelWindows()) {
        if (::GetWindow(w, GW_OWNER) != owner) continue;
        Print(std::to_wstring(reinterpret_cast<UINT_PTR>(w)) + L" " + ClassOf(w) + L" " +
              (::IsWindowVisible(w) ? L"visible " : L"hidden ") + RectOf(w));
    }
    return 0;
}

int Clipboard(bool files) {
    for (int i = 0; i < 50 && !::OpenClipboard(nullptr); ++i) ::Sleep(100);
    int result = 1;
    if (files) {
        if (HANDLE data = ::GetClipboardData(CF_HDROP)) {
            HDROP drop = static_cast<HDROP>(data);
            const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
            for (UINT i = 0; i < count; ++i) {
                wchar_t path[MAX_PATH * 2] = {};
                ::DragQueryFileW(drop, i, path, MAX_PATH * 2);
                Print(path);
            }
            result = 0;
        }
    } else if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
        if (const wchar_t* text = static_cast<const wchar_t*>(::GlobalLock(data))) {
            Print(text);
            ::GlobalUnlock(data);
            result = 0;
        }
    }
    ::CloseClipboard();
    return result;
}

// The "Preferred DropEffect" on the clipboard: 1 copy, 2 move.
int ClipboardDropEffect() {
    for (int i = 0; i < 50 && !::OpenClipboard(nullptr); ++i) ::Sleep(100);
    int result = 1;
    HANDLE data = ::GetClipboardData(::RegisterClipboardFormatW(L"Preferred DropEffect"));
    if (data && ::GlobalSize(data) >= sizeof(DWORD)) {
        if (const DWORD* effect = static_cast<const DWORD*>(::GlobalLock(data))) {
            Print(std::to_wstring(*effect));
            ::GlobalUnlock(data);
            result = 0;
        }
    }
    ::CloseClipboard();
    return result;
}

int MessageBoxText(const wchar_t* title, DWORD ms) {
    HWND box = WaitForWindow(L"#32770", title, ms);
    if (!box) return Fail(L"no box");
    // The text of a message box is its static control 0xFFFF.
    wchar_t text[1024] = {};
    ::GetDlgItemTextW(box, 0xFFFF, text, 1024);
    Print(text);
    return 0;
}

// The family name (name id 1) of the font file behind a DC's selected font,
// from its 'name' table; empty when the table cannot be read. Tells which
// installed font Wine really draws a face name with.
std::wstring FontFileFamily(HDC dc) {
    const DWORD tag = 'n' | ('a' << 8) | ('m' << 16) | ('e' << 24);
    const DWORD size = ::GetFontData(dc, tag, 0, nullptr, 0);
    if (size == GDI_ERROR || size < 6) return std::wstring();
    std::vector<unsigned char> table(size);
    if (::GetFontData(dc, tag, 0, table.data(), size) != size) return std::wstring();
    auto u16 = [&](size_t at) { return at + 2 <= table.size() ? (table[at] << 8) | table[at + 1] : 0; };
    const size_t count = u16(2), strings = u16(4);
    std::wstring family;
    for (size_t i = 0; i < count; ++i) {
        const size_t rec = 6 + i * 12;
        if (rec + 12 > table.size()) break;
        const int platform = u16(rec), language = u16(rec + 4), nameId = u16(rec + 6);
        const size_t length = u16(rec + 8), offset = u16(rec + 10);
        // Windows platform (3), UTF-16BE strings; the US English name wins.
        if (platform != 3 || nameId != 1 || strings + offset + length > table.size()) continue;
        std::wstring name;
        for (size_t k = 0; k + 1 < length; k += 2) name += static_cast<wchar_t>(u16(strings + offset + k));
        if (language == 0x409) return name;
        if (family.empty()) family = name;
    }
    return family;
}

// What Wine makes of a face name: "family|width of text|glyphs of text the
// font itself lacks" (a fallback face draws CJK text only through linked
// fonts, or as boxes).
int FontReport(const wchar_t* face, int height, const wchar_t* text) {
    LOGFONTW lf = {};
    lf.lfHeight = height;
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(lf.lfFaceName, face, LF_FACESIZE);
    HFONT font = ::CreateFontIndirectW(&lf);
    HDC dc = ::CreateCompatibleDC(nullptr);
    if (!font || !dc) return Fail(L"no font");
    HGDIOBJ old = ::SelectObject(dc, font);
    const int length = lstrlenW(text);
    SIZE extent = {};
    ::GetTextExtentPoint32W(dc, text, length, &extent);
    std::vector<WORD> glyphs(length + 1);
    int missing = 0;
    if (::GetGlyphIndicesW(dc, text, length, glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS) != GDI_ERROR) {
        for (int i = 0; i < length; ++i) missing += glyphs[i] == 0xFFFF;
    }
    Print(FontFileFamily(dc) + L"|" + std::to_wstring(extent.cx) + L"|" + std::to_wstring(missing));
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    ::DeleteObject(font);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return Fail(L"usage: probe <command> [args]");
    const std::wstring command = argv[1];
    auto arg = [&](int i, const wchar_t* fallback) { return i < argc ? argv[i] : fallback; };
    const DWORD waitMs = static_cast<DWORD>(std::wcstoul(arg(2, L"0"), nullptr, 10)) * 1000;

    if (command == L"wait-shell") {  // seconds
        HWND shell = WaitForWindow(L"LumsekMainShell", nullptr, waitMs);
        if (!shell) return Fail(L"no owner window");
        Print(std::to_wstring(reinterpret_cast<UINT_PTR>(shell)));
        return 0;
    }
    if (command == L"instance-gone") {  // the program's single-instance mutex no longer exists
        HANDLE mutex = ::OpenMutexW(SYNCHRONIZE, FALSE, L"{9DA622A2-92E2-4e0f-87F4-F1FFAA7D0A04}");
        if (!mutex) return 0;
        ::CloseHandle(mutex);
        return Fail(L"still there");
    }
    if (command == L"count-shells") {
        int count = 0;
        for (HWND w : TopLevelWindows()) count += ClassOf(w) == L"LumsekMainShell";
        Print(std::to_wstring(count));
        return 0;
    }
    if (command == L"tray-icon") {  // is icon 1 of the owner window in the tray?
        NOTIFYICONDATAW data = {};
        data.cbSize = sizeof(data);
        data.hWnd = Shell();
        data.uID = 1;
        // A modification that changes nothing succeeds only for an icon the tray holds.
        return data.hWnd && ::Shell_NotifyIconW(NIM_MODIFY, &data) ? 0 : Fail(L"no tray icon");
    }
    if (command == L"hotkey-taken") {  // is Ctrl+Q registered by someone else?
        if (::RegisterHotKey(nullptr, 0x7001, MOD_CONTROL, 'Q')) {
            ::UnregisterHotKey(nullptr, 0x7001);
            return Fail(L"free");
        }
        Print(L"taken");
        return 0;
    }
    if (command == L"hold-hotkey") {  // seconds: keeps Ctrl+Q registered meanwhile
        if (!::RegisterHotKey(nullptr, 0x7001, MOD_CONTROL, 'Q')) return Fail(L"could not register");
        Print(L"held");
        ::Sleep(waitMs);
        return 0;
    }
    if (command == L"hold-files") {  // seconds path...: holds the files open for reading meanwhile
        // As another program that reads them and lets others only read:
        // no one may write, replace or delete them while it runs.
        std::vector<HANDLE> held;
        for (int i = 3; i < argc; ++i) {
            HANDLE file = ::CreateFileW(argv[i], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
            if (file == INVALID_HANDLE_VALUE) return Fail((L"cannot open " + std::wstring(argv[i])).c_str());
            held.push_back(file);
        }
        Print(L"held");
        ::Sleep(waitMs);
        for (HANDLE file : held) ::CloseHandle(file);
        return 0;
    }
    if (command == L"message-box") {  // title seconds
        return MessageBoxText(arg(2, L""), static_cast<DWORD>(std::wcstoul(arg(3, L"0"), nullptr, 10)) * 1000);
    }
    if (command == L"close-box") {  // title: presses its OK button
        HWND box = ::FindWindowW(L"#32770", arg(2, L""));
        if (!box) return Fail(L"no box");
        ::PostMessageW(box, WM_COMMAND, IDOK, 0);
        return 0;
    }
    if (command == L"post-shell") {  // message wParam lParam
        HWND shell = Shell();
        if (!shell) return Fail(L"no owner window");
        const UINT msg = static_cast<UINT>(std::wcstoul(arg(2, L"0"), nullptr, 0));
        const WPARAM wp = static_cast<WPARAM>(std::wcstoul(arg(3, L"0"), nullptr, 0));
        const LPARAM lp = static_cast<LPARAM>(std::wcstoul(arg(4, L"0"), nullptr, 0));
        return ::PostMessageW(shell, msg, wp, lp) ? 0 : Fail(L"post failed");
    }
    if (command == L"post-owned") {  // message wParam lParam: to every window the owner window owns
        HWND shell = Shell();
        if (!shell) return Fail(L"no owner window");
        const UINT msg = static_cast<UINT>(std::wcstoul(arg(2, L"0"), nullptr, 0));
        const WPARAM wp = static_cast<WPARAM>(std::wcstoull(arg(3, L"0"), nullptr, 0));
        const LPARAM lp = static_cast<LPARAM>(std::wcstoull(arg(4, L"0"), nullptr, 0));
        int posted = 0;
        for (HWND w : TopLevelWindows()) {
            if (::GetWindow(w, GW_OWNER) == shell) posted += ::PostMessageW(w, msg, wp, lp) ? 1 : 0;
        }
        return posted ? 0 : Fail(L"nothing posted");
    }
    if (command == L"owned") return Shell() ? ListOwned(Shell()) : Fail(L"no owner window");
    if (command == L"popup-menu") {  // seconds: rectangle of the open popup menu
        HWND menu = nullptr;
        for (DWORD waited = 0;; waited += 100) {
            for (HWND w : TopLevelWindows()) {
                if (ClassOf(w) == L"#32768" && ::IsWindowVisible(w)) menu = w;
            }
            if (menu || waited >= waitMs) break;
            ::Sleep(100);
        }
        if (!menu) return Fail(L"no menu");
        Print(RectOf(menu));
        return 0;
    }
    if (command == L"windows") {  // every visible top-level window: class, text, rectangle
        for (HWND w : TopLevelWindows()) {
            if (::IsWindowVisible(w)) Print(ClassOf(w) + L"|" + TextOf(w) + L"|" + RectOf(w));
        }
        return 0;
    }
    if (command == L"x-windows") {
        // Every visible top-level window, topmost first as Wine stacks them:
        // handle, the X window Wine made for it (0 when none), class, text
        // and rectangle, so a case can find each one in the X server's own
        // stacking order.
        for (HWND w : TopLevelWindows()) {
            if (!::IsWindowVisible(w)) continue;
            const auto xid = reinterpret_cast<UINT_PTR>(::GetPropW(w, L"__wine_x11_whole_window"));
            wchar_t ids[64];
            std::swprintf(ids, 64, L"%llu|0x%llx", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(w)),
                          static_cast<unsigned long long>(xid));
            Print(std::wstring(ids) + L"|" + ClassOf(w) + L"|" + TextOf(w) + L"|" + RectOf(w));
        }
        return 0;
    }
    if (command == L"x-windows-top") {  // every visible top-level window: class, text, X window id, topmost
        for (HWND w : TopLevelWindows()) {
            if (!::IsWindowVisible(w)) continue;
            wchar_t id[32];
            std::swprintf(id, 32, L"0x%lx",
                          static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(::GetPropW(w, L"__wine_x11_whole_window"))));
            const bool topmost = (::GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
            Print(ClassOf(w) + L"|" + TextOf(w) + L"|" + id + L"|" + (topmost ? L"topmost" : L"normal"));
        }
        return 0;
    }
    if (command == L"focus") {  // the window with the keyboard focus in the foreground thread
        GUITHREADINFO info = {};
        info.cbSize = sizeof(info);
        if (!::GetGUIThreadInfo(0, &info) || !info.hwndFocus) return Fail(L"none");
        Print(ClassOf(info.hwndFocus) + L"|" + TextOf(info.hwndFocus));
        return 0;
    }
    if (command == L"foreground") {
        HWND w = ::GetForegroundWindow();
        Print(w ? ClassOf(w) + L"|" + RectOf(w) : L"none");
        return 0;
    }
    if (command == L"tray-client") {  // screen point of the top left of Wine's own tray window's icons
        HWND tray = ::FindWindowW(L"__winex11_standalone_tray", nullptr);
        POINT origin = {0, 0};
        if (!tray || !::ClientToScreen(tray, &origin)) return Fail(L"no tray window");
        Print(std::to_wstring(origin.x) + L" " + std::to_wstring(origin.y));
        return 0;
    }
    if (command == L"tooltips") {  // the text of every visible tooltip
        for (HWND w : TopLevelWindows()) {
            if (ClassOf(w) != L"tooltips_class32" || !::IsWindowVisible(w)) continue;
            wchar_t text[512] = {};
            DWORD_PTR copied = 0;
            ::SendMessageTimeoutW(w, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &copied);
            Print(text);
        }
        return 0;
    }
    if (command == L"window-at") {  // x y: the top-level window a click there reaches, and its text
        const POINT pt = {std::wcstol(arg(2, L"0"), nullptr, 10), std::wcstol(arg(3, L"0"), nullptr, 10)};
        HWND w = ::WindowFromPoint(pt);
        if (w) w = ::GetAncestor(w, GA_ROOT);
        if (!w) return Fail(L"no window");
        wchar_t text[1024] = {};
        DWORD_PTR copied = 0;
        ::SendMessageTimeoutW(w, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &copied);
        Print(ClassOf(w) + L"|" + text);
        return 0;
    }
    if (command == L"font") {  // face height text: family|width|missing glyphs
        return FontReport(arg(2, L""), static_cast<int>(std::wcstol(arg(3, L"-12"), nullptr, 10)), arg(4, L""));
    }
    if (command == L"clipboard-clear") {
        for (int i = 0; i < 50 && !::OpenClipboard(nullptr); ++i) ::Sleep(100);
        const BOOL emptied = ::EmptyClipboard();
        ::CloseClipboard();
        return emptied ? 0 : Fail(L"clipboard not emptied");
    }
    if (command == L"clipboard-text") return Clipboard(false);
    if (command == L"clipboard-files") return Clipboard(true);
    if (command == L"clipboard-effect") return ClipboardDropEffect();
    return Fail(L"unknown command");
}
