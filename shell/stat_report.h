#pragma once
// The usage statistics of one run, written into "report.ini" in the program
// folder through the profile functions, in the system code page that the
// poster reads. The first use in a run hands the
// previous run's file to the outside poster "post.exe" (renamed to
// "report_post.ini") and starts the poster. UI thread only.
#include <windows.h>

#include <cstdint>
#include <string>

class CStatReport {
public:
    // `folder` is the program folder and ends with a backslash.
    explicit CStatReport(std::wstring folder);
    virtual ~CStatReport() = default;
    CStatReport(const CStatReport&) = delete;
    CStatReport& operator=(const CStatReport&) = delete;

    // Counters to 0, the previous file rotated, the poster started.
    void Init();

    void WriteExit();
    // A query the result window put into its history.
    void AddSearch(const wchar_t* query);
    // After a recovery run of `fileCount` files.
    void AddRecovery(uint32_t fileCount);
    void SetSiblingInstallState(int state);
    void AddSiblingRun();

    const std::wstring& Path() const { return path_; }

protected:
    // Starts the poster; tests replace it.
    virtual void StartPoster(const std::wstring& posterPath);

private:
    void RotateFile();
    void Write(const wchar_t* section, const wchar_t* key, const std::wstring& value);
    void WriteTime(const wchar_t* section);

    std::wstring folder_;
    std::wstring path_;
    int32_t searchCount_ = 0;
    int32_t siblingRunCount_ = 0;
    uint32_t recoveryCount_ = 0;
};

// The run's statistics file, opened (rotated, poster started) on first use.
CStatReport& GetStatReport();
