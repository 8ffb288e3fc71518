#include "shell/stat_report.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <ctime>

#include "index/app_context.h"
#include "platform/trace.h"

namespace {

std::wstring Number(long long value) { return std::to_wstring(value); }

} // namespace

CStatReport::CStatReport(std::wstring folder) : folder_(std::move(folder)), path_(folder_ + L"report.ini") {}

void CStatReport::Init() {
    searchCount_ = 0;
    siblingRunCount_ = 0;
    recoveryCount_ = 0;
    RotateFile();
    StartPoster(folder_ + L"post.exe");
}

void CStatReport::RotateFile() {
    // Both may fail (first run, a poster still reading): the new run then
    // simply writes over the old file.
    const std::wstring posted = folder_ + L"report_post.ini";
    ::DeleteFileW(posted.c_str());
    ::MoveFileW(path_.c_str(), posted.c_str());
}

void CStatReport::StartPoster(const std::wstring& posterPath) {
    // A missing poster only means no upload; asking the shell to start a
    // file that is not there could show its error box.
    if (!::PathFileExistsW(posterPath.c_str())) return;
    HINSTANCE result = ::ShellExecuteW(nullptr, nullptr, posterPath.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    if (reinterpret_cast<INT_PTR>(result) <= 32) platform::TraceLastError("starting post.exe");
}

void CStatReport::Write(const wchar_t* section, const wchar_t* key, const std::wstring& value) {
    ::WritePrivateProfileStringW(section, key, value.c_str(), path_.c_str());
}

void CStatReport::WriteTime(const wchar_t* section) {
    Write(section, L"ctime", Number(static_cast<long long>(_time64(nullptr))));
}

void CStatReport::WriteExit() { WriteTime(L"exit"); }

void CStatReport::AddSearch(const wchar_t* query) {
    const std::wstring section = L"search" + Number(searchCount_);
    Write(L"search", L"count", Number(searchCount_ + 1LL));
    WriteTime(section.c_str());
    Write(section.c_str(), L"text", query ? query : L"");
    ++searchCount_;
}

void CStatReport::AddRecovery(uint32_t fileCount) {
    const std::wstring section = L"recov" + Number(recoveryCount_);
    Write(L"recov", L"recovtime", Number(recoveryCount_ + 1LL));
    WriteTime(section.c_str());
    Write(section.c_str(), L"recovcount", Number(fileCount));
    ++recoveryCount_;
}

void CStatReport::SetSiblingInstallState(int state) {
    WriteTime(L"instZoph");
    Write(L"instZoph", L"instZophState", Number(state));
}

void CStatReport::AddSiblingRun() {
    ++siblingRunCount_;
    WriteTime(L"runZoph");
    Write(L"runZoph", L"runZophCount", Number(siblingRunCount_));
}

CStatReport& GetStatReport() {
    static CStatReport report(GetAppContext()->GetModuleDir() + L"\\");
    static const bool opened = (report.Init(), true);
    (void)opened;
    return report;
}
