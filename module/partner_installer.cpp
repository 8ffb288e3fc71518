#include "module/partner_installer.h"

#include <cstdlib>
#include <ctime>

#include "module/http_transfer.h"
#include "platform/handle.h"
#include "platform/strconv.h"
#include "service/log.h"

namespace {

constexpr int kDownloadTries = 3;

std::wstring OwnProgramFolder() {
    const std::wstring path = GetModulePath(nullptr);
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

// A complete installer: a Windows program starts with "MZ".
bool LooksLikeProgram(const std::wstring& path) {
    platform::FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    char head[2] = {};
    DWORD got = 0;
    return ::ReadFile(file.Get(), head, 2, &got, nullptr) && got == 2 && head[0] == 'M' && head[1] == 'Z';
}

} // namespace

PartnerLocation DefaultPartnerLocation() {
    return PartnerLocation{L"http://download.lumsek.net/download/ZophSetup.exe", OwnProgramFolder()};
}

HRESULT InstallPartnerProduct(CUpdateTask& task, const PartnerLocation& location) {
    CProgressScope scope(&task.Root, task.Root.Value(), 0.9);
    const std::wstring path = location.ProgramFolder + L"zoph" + task.ChannelToken + L"\\setup.exe";
    EnsureDirectoryExists(path.c_str());
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    const std::wstring address = location.InstallerUrl + L"?rand=" + std::to_wstring(std::rand());
    const std::string addressA = platform::WideToAnsi(address);
    task.SetStatusText(path);

    bool downloaded = false;
    for (int attempt = 0; attempt < kDownloadTries && !downloaded; ++attempt) {
        if (task.StopRequested()) break;
        scope.SetValue(0.0);
        int rc;
        {
            CDownloadFile file(path, &scope, task.StopEvent());
            rc = HttpDownloadToFile(file, addressA.c_str());
        }
        // Only a complete answer runs: a cut transfer fails in libcurl, and a
        // body that is no program is refused here.
        downloaded = rc == 0 && LooksLikeProgram(path);
        if (!downloaded) {
            UpdateLog(L"\u4e0b\u8f7d\uff1a%ls/(\u72ec\u7acb\u5b89\u88c5\u5305/) \u5931\u8d25\uff0c \u672c\u5730\u8def\u5f84:%ls"
                      L" (%d)",
                      address.c_str(), path.c_str(), rc);
        }
    }
    if (!downloaded) {
        ::DeleteFileW(path.c_str());
        return E_FAIL;
    }
    scope.SetValue(1.0);

    std::wstring commandLine = L"\"" + path + L"\" /S";
    // In its own folder: the caller's current folder may be anywhere.
    const std::wstring folder = path.substr(0, path.find_last_of(L'\\') + 1);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessW(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                          &startup, &info)) {
        const DWORD error = ::GetLastError();
        UpdateLog(L"Cannot start the installer %ls, error %lu", path.c_str(), static_cast<unsigned long>(error));
        return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
    }
    ::CloseHandle(info.hThread);
    // The installer decides when it is done; a cancel does not cut it short.
    ::WaitForSingleObject(info.hProcess, INFINITE);
    ::CloseHandle(info.hProcess);
    return S_OK;
}

unsigned __stdcall PartnerInstallerThread(void* param) {
    auto* task = static_cast<CPartnerInstallTask*>(param);
    if (!task) return 0;
    return static_cast<unsigned>(InstallPartnerProduct(*task, task->Partner));
}
