#include "module/machine_identity.h"

#include <windows.h>
#include <objbase.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "module/md5.h"
#include "module/proxy_settings.h"
#include "module/registry.h"
#include "platform/strconv.h"

const wchar_t kMachineUuidKey[] = L"CLSID\\{0DFF4B18-E1D9-430f-A122-437AF310AF05}";

namespace {

constexpr size_t kUuidChars = 32;
constexpr size_t kTextMax = 260;

std::wstring Format(const wchar_t* format, ...) {
    wchar_t buf[128];
    va_list args;
    va_start(args, format);
    int n = _vsnwprintf(buf, 127, format, args);
    va_end(args);
    buf[127] = L'\0';
    return n < 0 ? std::wstring(buf) : std::wstring(buf, static_cast<size_t>(n));
}

} // namespace

bool IsMachineUuidMissing() {
    CRegKey key;
    if (!key.Open(HKEY_CLASSES_ROOT, kMachineUuidKey, KEY_READ)) return true;
    DWORD bytes = 0;
    // A value holding only its terminator is as good as none.
    return !key.QuerySize(L"uuid", bytes) || bytes <= sizeof(wchar_t);
}

std::wstring ReadMachineUuid() {
    CRegKey key;
    std::wstring uuid;
    if (key.Open(HKEY_CLASSES_ROOT, kMachineUuidKey, KEY_READ)) key.QueryString(L"uuid", uuid, kTextMax);
    return uuid;
}

std::wstring GenerateMachineUuid() {
    std::wstring text;
    std::srand(static_cast<unsigned>(_time64(nullptr)));
    text += Format(L"%05ld", static_cast<long>(std::rand()));

    GUID guid = {};
    if (SUCCEEDED(::CoCreateGuid(&guid)) && guid != GUID_NULL) {
        text += Format(L"%08lX%04X%04x%02X%02X%02X%02X%02X%02X%02X%02X", static_cast<unsigned long>(guid.Data1),
                       guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3],
                       guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    }

    SYSTEMTIME now;
    ::GetLocalTime(&now);
    text += Format(L"%03d%02d%02d%04d%02d%02d%02d", now.wMilliseconds, now.wMinute, now.wDay, now.wYear, now.wHour,
                   now.wSecond, now.wMonth);

    char computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD computerLength = MAX_COMPUTERNAME_LENGTH + 1;
    if (!::GetComputerNameA(computer, &computerLength)) computerLength = 0;
    text += platform::AnsiToWide(Md5HexOfBuffer(computer, computerLength));

    wchar_t systemDir[MAX_PATH] = {};
    ULARGE_INTEGER freeBytes = {};
    UINT n = ::GetSystemDirectoryW(systemDir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH || !::GetDiskFreeSpaceExW(systemDir, nullptr, nullptr, &freeBytes)) {
        freeBytes.QuadPart = 0;
    }
    text += Format(L"%010lu", static_cast<unsigned long>(freeBytes.LowPart));

    std::string ansi = platform::WideToAnsi(text);
    std::wstring uuid = platform::AnsiToWide(Md5HexOfBuffer(ansi.data(), ansi.size()));

    CRegKey key;
    if (key.Create(HKEY_CLASSES_ROOT, kMachineUuidKey, KEY_READ | KEY_WRITE)) key.SetString(L"uuid", uuid);
    return uuid;
}

std::wstring GetMachineUuid() {
    std::wstring uuid;
    if (!IsMachineUuidMissing()) uuid = ReadMachineUuid();
    if (uuid.empty() || uuid.size() > kUuidChars) uuid = GenerateMachineUuid();
    return uuid;
}

std::wstring ReadTrackingId() {
    CRegKey key;
    std::wstring tid;
    if (!key.Create(HKEY_CURRENT_USER, kWelgrinKey, KEY_READ | KEY_WRITE) ||
        !key.QueryString(L"tid", tid, kTextMax)) {
        return L"0";
    }
    return tid;
}
