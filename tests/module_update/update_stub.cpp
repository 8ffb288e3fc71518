// Stand-in for the programs around the updater, chosen by its arguments:
//   -pid:<id> -cmd:<text>  the re-update program: waits (briefly) for the
//                          process, carries out update\pemour.dat and starts
//                          [RUN] PATH with -reupdate;
//   -reupdate              the restarted program;
//   /S                     the companion installer;
//   anything else          the program started by the library's AutoRun.
// Each appends its command line to a file in its own folder.
#include <windows.h>

#include <string>

namespace {

std::wstring OwnFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring text = path;
    return text.substr(0, text.find_last_of(L'\\') + 1);
}

void AppendLine(const std::wstring& file, const std::wstring& line) {
    HANDLE h = CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    std::string bytes;
    for (wchar_t c : line) bytes += c < 128 ? static_cast<char>(c) : '?';
    bytes += "\r\n";
    DWORD n = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
    CloseHandle(h);
}

std::wstring Profile(const wchar_t* section, const wchar_t* key, const std::wstring& file) {
    wchar_t value[1024] = {};
    GetPrivateProfileStringW(section, key, L"", value, 1024, file.c_str());
    return value;
}

int Reupdate(const std::wstring& commandLine) {
    const std::wstring folder = OwnFolder();
    AppendLine(folder + L"reupd_args.txt", commandLine);
    const size_t pidAt = commandLine.find(L"-pid:");
    const DWORD pid = wcstoul(commandLine.c_str() + pidAt + 5, nullptr, 10);
    // The real program waits for the caller to end; a test caller lives on,
    // so wait only a moment.
    if (HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid)) {
        WaitForSingleObject(process, 500);
        CloseHandle(process);
    }
    wchar_t cwd[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, cwd);
    AppendLine(folder + L"reupd_cwd.txt", cwd);
    const std::wstring list = folder + L"update\\pemour.dat";
    for (int n = 0;; ++n) {
        const std::wstring section = L"file" + std::to_wstring(n);
        const std::wstring des = Profile(section.c_str(), L"DES", list), from = Profile(section.c_str(), L"FROM", list);
        if (des.empty() || from.empty()) break;
        if (!CopyFileW(from.c_str(), des.c_str(), FALSE)) AppendLine(folder + L"reupd_errors.txt", des);
    }
    std::wstring program = Profile(L"RUN", L"PATH", list);
    DeleteFileW(list.c_str());
    if (program.empty()) return 1;
    std::wstring line = L"\"" + program + L"\" -reupdate";
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 2;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return 0;
}

} // namespace

int main() {
    const std::wstring commandLine = GetCommandLineW();
    if (commandLine.find(L" -pid:") != std::wstring::npos) return Reupdate(commandLine);
    if (commandLine.find(L" -reupdate") != std::wstring::npos) {
        AppendLine(OwnFolder() + L"restarted.txt", commandLine);
        return 0;
    }
    if (commandLine.find(L" /S") != std::wstring::npos) {
        AppendLine(OwnFolder() + L"installed.txt", commandLine);
        return 0;
    }
    AppendLine(OwnFolder() + L"started.txt", commandLine);
    return 0;
}
