#include "tests/support/test_support.h"

#include <cwctype>
#include <utility>
#include <vector>

#include "platform/handle.h"
#include "platform/strconv.h"

namespace testing_support {
namespace {

std::string EnvA(const char* name) {
    char buf[4096];
    DWORD n = ::GetEnvironmentVariableA(name, buf, sizeof(buf));
    if (n == 0 || n >= sizeof(buf)) return std::string();
    return std::string(buf, n);
}

std::string Quote(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\'') out += "'\\''";
        else out += c;
    }
    return out + "'";
}

std::string DosDevicesLink(wchar_t letter, const char* suffix) {
    char l = static_cast<char>(std::towlower(letter));
    return EnvA("WINEPREFIX") + "/dosdevices/" + l + suffix;
}

} // namespace

std::wstring UnixToWindowsPath(const std::string& unixPath) {
    std::wstring w = L"\\\\?\\unix" + platform::Utf8ToWide(unixPath);
    for (auto& c : w) if (c == L'/') c = L'\\';
    return w;
}

std::string WindowsToUnixPath(const std::wstring& path) {
    using Convert = char*(CDECL*)(LPCWSTR);
    auto convert = reinterpret_cast<Convert>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!convert) return std::string();
    char* unix = convert(path.c_str());
    if (!unix) return std::string();
    std::string result = unix;
    ::HeapFree(::GetProcessHeap(), 0, unix);
    return result;
}

std::string ShellQuote(const std::string& text) { return Quote(text); }

std::string UnixWorkFolder() { return EnvA("LUMSEK_TEST_WORK"); }

int RunUnixCommand(const std::string& command, DWORD timeoutMs) {
    // Wine starts Linux programs through CreateProcess, but it splits their
    // command line by Windows rules and gives no usable process handle to
    // wait on. So the command goes to sh in a script file, and the script
    // leaves its exit code in a marker file that we poll.
    static LONG counter = 0;
    std::string work = UnixWorkFolder();
    if (work.empty()) return -1;
    std::string base = work + "/cmd-" + std::to_string(::GetCurrentProcessId()) + "-" +
                       std::to_string(::InterlockedIncrement(&counter));
    std::string marker = base + ".rc";
    std::string script = "(\n" + command + "\n)\necho $? > " + Quote(marker + ".tmp") + " && mv " +
                         Quote(marker + ".tmp") + " " + Quote(marker) + "\n";
    std::wstring scriptW = UnixToWindowsPath(base + ".sh");
    if (!WriteFileBytes(scriptW, script)) return -1;
    std::wstring cmdLine = L"sh \"" + platform::Utf8ToWide(base + ".sh") + L"\"";
    std::vector<wchar_t> buf(cmdLine.begin(), cmdLine.end());
    buf.push_back(L'\0');
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    // For a Linux program Wine reports success but leaves pi.hProcess and
    // pi.hThread uninitialised: stale stack values that can equal handles this
    // program holds (its standard output, say). They are never closed, and
    // CREATE_SUSPENDED keeps CreateProcess from resuming the stale "thread";
    // a Linux program cannot be held suspended, so it starts at once anyway.
    if (!::CreateProcessW(L"\\\\?\\unix\\bin\\sh", buf.data(), nullptr, nullptr, FALSE,
                          CREATE_SUSPENDED, nullptr, nullptr, &si, &pi)) {
        return -1;
    }
    std::wstring markerW = UnixToWindowsPath(marker);
    int result = -1;
    for (DWORD waited = 0; waited < timeoutMs; waited += 10) {
        platform::FileHandle f(::CreateFileW(markerW.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                             OPEN_EXISTING, 0, nullptr));
        if (f) {
            char text[32] = {};
            DWORD got = 0;
            ::ReadFile(f.Get(), text, sizeof(text) - 1, &got, nullptr);
            f.Close();
            ::DeleteFileW(markerW.c_str());
            result = atoi(text);
            break;
        }
        ::Sleep(10);
    }
    ::DeleteFileW(scriptW.c_str());
    return result;
}

bool MapDriveToFolder(wchar_t letter, const std::string& unixFolder) {
    std::string link = DosDevicesLink(letter, ":");
    if (RunUnixCommand("mkdir -p " + Quote(unixFolder) + " && ln -sfn " + Quote(unixFolder) + " " +
                       Quote(link)) != 0) {
        return false;
    }
    wchar_t root[] = {letter, L':', L'\\', 0};
    // Files resolve through the link; the object namespace entry makes the
    // drive show in GetLogicalDrives for this process.
    std::wstring target = UnixToWindowsPath(unixFolder);
    target.replace(0, 4, L"\\??\\");
    wchar_t device[] = {letter, L':', 0};
    ::DefineDosDeviceW(DDD_REMOVE_DEFINITION | DDD_RAW_TARGET_PATH, device, nullptr);
    ::DefineDosDeviceW(DDD_RAW_TARGET_PATH, device, target.c_str());
    return ::GetFileAttributesW(root) != INVALID_FILE_ATTRIBUTES;
}

std::wstring MapDriveToTempFolder(wchar_t letter) {
    static LONG counter = 0;
    std::string folder = UnixWorkFolder() + "/drive-" + static_cast<char>(std::towlower(letter)) + "-" +
                         std::to_string(::InterlockedIncrement(&counter));
    if (!MapDriveToFolder(letter, folder)) return std::wstring();
    return std::wstring{letter, L':', L'\\'};
}

bool MapDriveDevice(wchar_t letter, const std::string& unixImage) {
    return RunUnixCommand("ln -sfn " + Quote(unixImage) + " " + Quote(DosDevicesLink(letter, "::"))) == 0;
}

void UnmapDrive(wchar_t letter) {
    RunUnixCommand("rm -f " + Quote(DosDevicesLink(letter, ":")) + " " + Quote(DosDevicesLink(letter, "::")));
    wchar_t device[] = {letter, L':', 0};
    ::DefineDosDeviceW(DDD_REMOVE_DEFINITION | DDD_RAW_TARGET_PATH, device, nullptr);
}

void PumpMessages(DWORD ms) {
    PumpMessagesUntil([] { return false; }, ms);
}

HookWindow::HookWindow(Handler handler) : handler_(std::move(handler)) {
    static const wchar_t kClass[] = L"LumsekTestHookWindow";
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &HookWindow::Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kClass;
    ::RegisterClassW(&wc);  // fails harmlessly once registered
    hwnd_ = ::CreateWindowExW(0, kClass, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, this);
}

HookWindow::~HookWindow() {
    if (hwnd_) ::DestroyWindow(hwnd_);
}

LRESULT CALLBACK HookWindow::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE)
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
    auto* self = reinterpret_cast<HookWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    LRESULT result = 0;
    if (self && self->handler_ && self->handler_(msg, wp, lp, result)) return result;
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

bool PumpMessagesUntil(const std::function<bool()>& done, DWORD ms) {
    DWORD start = ::GetTickCount();
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (done()) return true;
        if (::GetTickCount() - start >= ms) return done();
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    const size_t first = path.compare(0, 4, L"\\\\?\\") == 0 ? path.size() : 3;
    for (size_t pos = path.find(L'\\', first); pos != std::wstring::npos; pos = path.find(L'\\', pos + 1)) {
        ::CreateDirectoryW(path.substr(0, pos).c_str(), nullptr);
    }
    platform::FileHandle f(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f) return false;
    DWORD written = 0;
    return ::WriteFile(f.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

std::string ReadFileBytes(const std::wstring& path) {
    platform::FileHandle f(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
    if (!f) return std::string("<missing>");
    LARGE_INTEGER size;
    ::GetFileSizeEx(f.Get(), &size);
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD got = 0;
    if (!bytes.empty()) ::ReadFile(f.Get(), &bytes[0], static_cast<DWORD>(bytes.size()), &got, nullptr);
    bytes.resize(got);
    return bytes;
}

bool PathExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

} // namespace testing_support
