#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "shell/stat_report.h"
#include "tests/support/test_support.h"

namespace {

using testing_support::PathExists;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

class RecordingReport : public CStatReport {
public:
    using CStatReport::CStatReport;
    std::vector<std::wstring> posters;
protected:
    void StartPoster(const std::wstring& path) override { posters.push_back(path); }
};

std::wstring Value(const std::wstring& file, const wchar_t* section, const wchar_t* key) {
    wchar_t text[256] = {};
    ::GetPrivateProfileStringW(section, key, L"<absent>", text, 256, file.c_str());
    return text;
}

// A folder of its own for each run: a file left by an earlier run in the
// same prefix would be rotated as if it were this run's.
class ScratchFolder {
public:
    ScratchFolder() {
        wchar_t temp[MAX_PATH] = {}, name[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        if (::GetTempFileNameW(temp, L"srp", 0, name) && ::DeleteFileW(name) && ::CreateDirectoryW(name, nullptr))
            path_ = std::wstring(name) + L"\\";
    }
    ~ScratchFolder() {
        if (path_.empty()) return;
        for (const wchar_t* file : {L"report.ini", L"report_post.ini"}) ::DeleteFileW((path_ + file).c_str());
        ::RemoveDirectoryW(path_.c_str());
    }
    const std::wstring& Path() const { return path_; }

private:
    std::wstring path_;
};

TEST(StatReport, SectionsCountersAndRotation) {
    ScratchFolder scratch;
    ASSERT_FALSE(scratch.Path().empty());
    const std::wstring folder = scratch.Path();
    const std::wstring posted = folder + L"report_post.ini";

    // First run: nothing to rotate, the poster is started all the same.
    RecordingReport first(folder);
    first.Init();
    EXPECT_EQ(std::vector<std::wstring>{folder + L"post.exe"}, first.posters);
    EXPECT_FALSE(PathExists(posted));
    EXPECT_EQ(folder + L"report.ini", first.Path());

    // A query in the system code page's own script is kept exactly (this
    // test runs under 936 and 1252); the file stays in that code page, as
    // the poster reads it.
    const std::wstring query = ::GetACP() == 936 ? L"\u62a5\u544a a&b" : L"caf\u00e9 a&b";
    const long long before = _time64(nullptr);
    first.AddSearch(query.c_str());
    first.AddSearch(L"second");
    first.AddRecovery(7);
    first.SetSiblingInstallState(-3);
    first.AddSiblingRun();
    first.AddSiblingRun();
    first.WriteExit();
    const std::wstring ini = first.Path();
    EXPECT_EQ(L"2", Value(ini, L"search", L"count"));
    EXPECT_EQ(query, Value(ini, L"search0", L"text"));
    const std::string bytes = ReadFileBytes(ini);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_FALSE(bytes[0] == '\xff' && bytes[1] == '\xfe') << "report.ini is not in the ANSI code page";
    EXPECT_EQ(L"second", Value(ini, L"search1", L"text"));
    EXPECT_EQ(L"<absent>", Value(ini, L"search2", L"text"));
    EXPECT_EQ(L"1", Value(ini, L"recov", L"recovtime"));
    EXPECT_EQ(L"7", Value(ini, L"recov0", L"recovcount"));
    EXPECT_EQ(L"-3", Value(ini, L"instZoph", L"instZophState"));
    // The sibling-run counter counts before it writes.
    EXPECT_EQ(L"2", Value(ini, L"runZoph", L"runZophCount"));
    for (const wchar_t* section : {L"search0", L"search1", L"recov0", L"instZoph", L"runZoph", L"exit"}) {
        const long long t = std::stoll(Value(ini, section, L"ctime"));
        EXPECT_GE(t, before) << section;
        EXPECT_LE(t, _time64(nullptr)) << section;
    }

    // The next run hands this file to the poster and numbers from 0 again.
    ASSERT_TRUE(WriteFileBytes(posted, "stale"));
    RecordingReport second(folder);
    second.Init();
    EXPECT_EQ(L"second", Value(posted, L"search1", L"text"));
    EXPECT_FALSE(PathExists(ini));
    second.AddSearch(L"again");
    EXPECT_EQ(L"1", Value(ini, L"search", L"count"));
    EXPECT_EQ(L"again", Value(ini, L"search0", L"text"));
    EXPECT_EQ(1u, second.posters.size());
}

} // namespace
