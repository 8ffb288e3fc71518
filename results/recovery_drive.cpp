#include "results/recovery_drive.h"

#include "index/app_context.h"
#include "platform/handle.h"

namespace {

wchar_t UpperLetter(wchar_t c) {
    if (c >= L'a' && c <= L'z') return static_cast<wchar_t>(c - L'a' + L'A');
    return (c >= L'A' && c <= L'Z') ? c : 0;
}

// Critical-error boxes off for the life of the scope.
class QuietErrorMode {
public:
    QuietErrorMode() : previous_(::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX)) {}
    ~QuietErrorMode() { ::SetErrorMode(previous_); }
    QuietErrorMode(const QuietErrorMode&) = delete;
    QuietErrorMode& operator=(const QuietErrorMode&) = delete;

private:
    UINT previous_;
};

class RealDrives : public IDriveSystem {
public:
    std::vector<std::wstring> LogicalDrives() override {
        std::vector<std::wstring> out;
        DWORD needed = ::GetLogicalDriveStringsW(0, nullptr);
        if (needed == 0) return out;
        std::wstring buffer(needed + 2, L'\0');
        DWORD written = ::GetLogicalDriveStringsW(needed + 1, &buffer[0]);
        if (written == 0 || written > needed + 1) return out;
        for (const wchar_t* p = buffer.c_str(); *p; p += wcslen(p) + 1) out.emplace_back(p);
        return out;
    }
    UINT DriveType(const std::wstring& root) override {
        QuietErrorMode quiet;
        return ::GetDriveTypeW(root.c_str());
    }
    bool CanOpenVolume(wchar_t letter) override {
        QuietErrorMode quiet;
        wchar_t device[] = L"\\\\.\\?:";
        device[4] = letter;
        platform::FileHandle volume(::CreateFileW(device, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                  OPEN_EXISTING, 0, nullptr));
        if (volume.IsValid()) return true;
        // Without the right to open volumes (or where a drive is a mapped
        // folder) a readable root still shows the drive is there.
        wchar_t root[] = L"?:\\";
        root[0] = letter;
        const DWORD attributes = ::GetFileAttributesW(root);
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }
    bool FreeBytes(wchar_t letter, uint64_t* bytes) override {
        QuietErrorMode quiet;
        wchar_t drive[] = L"?:";
        drive[0] = letter;
        ULARGE_INTEGER available = {};
        if (!::GetDiskFreeSpaceExW(drive, &available, nullptr, nullptr)) return false;
        *bytes = available.QuadPart;
        return true;
    }
};

} // namespace

IDriveSystem& SystemDrives() {
    static RealDrives drives;
    return drives;
}

bool HasEnoughFreeSpace(const wchar_t* drive, const CAppContext& context, uint64_t* freeUnits,
                        IDriveSystem& system) {
    const wchar_t letter = drive ? UpperLetter(drive[0]) : 0;
    if (letter == 0) return false;
    if (!system.CanOpenVolume(letter)) return false;
    uint64_t bytes = 0;
    if (!system.FreeBytes(letter, &bytes)) return false;
    const uint64_t units = bytes / 512;
    if (freeUnits) *freeUnits = units;
    return context.RecoverySpaceNeed < units;
}

wchar_t PickRecoveryDrive(const CAppContext& context, const std::vector<std::wstring>& exclusions,
                          uint64_t* bestFree, IDriveSystem& system) {
    wchar_t best = 0;
    uint64_t bestUnits = 0;
    for (const std::wstring& root : system.LogicalDrives()) {
        const wchar_t letter = root.empty() ? 0 : UpperLetter(root[0]);
        if (letter == 0 || letter == L'A' || letter == L'B') continue;
        const UINT type = system.DriveType(root);
        if (type == DRIVE_UNKNOWN || type == DRIVE_NO_ROOT_DIR || type == DRIVE_REMOTE || type == DRIVE_CDROM) continue;
        bool excluded = false;
        for (const std::wstring& skip : exclusions)
            if (!skip.empty() && UpperLetter(skip[0]) == letter) excluded = true;
        if (excluded) continue;
        uint64_t units = 0;
        if (!HasEnoughFreeSpace(root.c_str(), context, &units, system)) continue;
        if (units > bestUnits) {
            best = letter;
            bestUnits = units;
            if (bestFree) *bestFree = bestUnits;
        }
    }
    return best;
}
