#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/strconv.h"
#include "platform/thread.h"
#include "service/log.h"
#include "service/log_file.h"
#include "temp_dir.h"
#include "tests/support/test_support.h"

using testing_support::WriteFileBytes;

namespace {

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start) + "<no CR LF>");
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// Splits "YYYY-MM-DD HH:MM:SS message" and checks the stamp's shape.
bool SplitStamp(const std::string& line, SYSTEMTIME& when, std::string& message) {
    if (line.size() < 20 || line[4] != '-' || line[7] != '-' || line[10] != ' ' || line[13] != ':' ||
        line[16] != ':' || line[19] != ' ') {
        return false;
    }
    for (int i : {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18}) {
        if (line[i] < '0' || line[i] > '9') return false;
    }
    when = SYSTEMTIME{};
    when.wYear = static_cast<WORD>(std::stoi(line.substr(0, 4)));
    when.wMonth = static_cast<WORD>(std::stoi(line.substr(5, 2)));
    when.wDay = static_cast<WORD>(std::stoi(line.substr(8, 2)));
    when.wHour = static_cast<WORD>(std::stoi(line.substr(11, 2)));
    when.wMinute = static_cast<WORD>(std::stoi(line.substr(14, 2)));
    when.wSecond = static_cast<WORD>(std::stoi(line.substr(17, 2)));
    message = line.substr(20);
    return true;
}

ULONGLONG Seconds(SYSTEMTIME t) {
    t.wMilliseconds = 0;
    FILETIME ft;
    if (!::SystemTimeToFileTime(&t, &ft)) return 0;
    return ((static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime) / 10000000ull;
}

std::string OneMessage(const std::string& path) {
    std::vector<std::string> lines = SplitLines(ReadWholeFile(platform::AnsiToWide(path)));
    if (lines.size() != 1) return "<" + std::to_string(lines.size()) + " lines>";
    SYSTEMTIME when;
    std::string message;
    if (!SplitStamp(lines[0], when, message)) return "<bad stamp: " + lines[0] + ">";
    return message;
}

ULONGLONG FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return ~0ull;
    return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

} // namespace

TEST(Log, LinePrefixIsTheLocalTimeAndOneBlank) {
    TempDir dir;
    CLogFile log;
    log.SetupNamedLog(dir.FileA("pelvane.exe").c_str(), "service.log");
    EXPECT_TRUE(log.IsEnabled());
    EXPECT_EQ(log.Path(), dir.FileA("log\\service.log"));
    EXPECT_TRUE(FileExists(dir.File(L"log")));

    SYSTEMTIME before, after;
    ::GetLocalTime(&before);
    EXPECT_EQ(log.Write(L"%s:%d", L"abc", 5), 5);
    EXPECT_EQ(log.Write(L"second %ls", L"line"), 11);
    ::GetLocalTime(&after);

    const std::string text = ReadWholeFile(dir.File(L"log\\service.log"));
    const std::vector<std::string> lines = SplitLines(text);
    ASSERT_EQ(lines.size(), 2u) << text;
    SYSTEMTIME when;
    std::string message;
    ASSERT_TRUE(SplitStamp(lines[0], when, message)) << lines[0];
    EXPECT_EQ(message, "abc:5");
    EXPECT_GE(Seconds(when), Seconds(before));
    EXPECT_LE(Seconds(when), Seconds(after));
    ASSERT_TRUE(SplitStamp(lines[1], when, message)) << lines[1];
    EXPECT_EQ(message, "second line");
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
}

TEST(Log, MessageTextRules) {
    TempDir dir;
    CLogFile log;
    log.SetupNamedLog(dir.FileA("Lumsek.dll").c_str(), "update.log");
    const std::string path = dir.FileA("log\\update.log");

    // A "%" in the text is stored as "_"; the count is of the formatted text.
    EXPECT_EQ(log.Write(L"%s", L"C:\\100%done %d"), 14);
    EXPECT_EQ(OneMessage(path), "C:\\100_done _d");
    ::DeleteFileA(path.c_str());
    EXPECT_EQ(log.Write(L"50%%"), 3);
    EXPECT_EQ(OneMessage(path), "50_");
    ::DeleteFileA(path.c_str());

    // Wide text goes to the file in the ANSI code page.
    const std::wstring chinese = L"\u4e0b\u8f7d\u5347\u7ea7\u4fe1\u606f\u6587\u4ef6%s\u5931\u8d25\uff0c\u9519\u8bef\u7801\uff1a%d";
    EXPECT_GT(log.Write(chinese.c_str(), L"http://host/a", 28), 0);
    const std::wstring expected = L"\u4e0b\u8f7d\u5347\u7ea7\u4fe1\u606f\u6587\u4ef6http://host/a"
                                  L"\u5931\u8d25\uff0c\u9519\u8bef\u7801\uff1a28";
    EXPECT_EQ(OneMessage(path), platform::WideToAnsi(expected));
    ::DeleteFileA(path.c_str());

    // A message of 30,000 characters is cut to 25,598.
    const std::wstring longText(30000, L'x');
    EXPECT_EQ(log.Write(L"%s", longText.c_str()), 25598);
    EXPECT_EQ(OneMessage(path), std::string(25598, 'x'));
    ::DeleteFileA(path.c_str());
    // The cut is exact at the edge, too.
    EXPECT_EQ(log.Write(L"%s", std::wstring(25598, L'y').c_str()), 25598);
    EXPECT_EQ(OneMessage(path), std::string(25598, 'y'));
    ::DeleteFileA(path.c_str());

    // A null format logs nothing.
    EXPECT_EQ(log.Write(nullptr), 0);
    EXPECT_FALSE(FileExists(platform::AnsiToWide(path)));
}

TEST(Log, PerModuleLogFollowsTheSwitchFile) {
    TempDir dir;
    const std::string module = dir.FileA("Lumsek.dll");
    {
        // No "pemover.dat": the per-module log is off, the named log is on.
        CLogFile moduleLog, updateLog;
        moduleLog.SetupModuleLog(module.c_str());
        updateLog.SetupNamedLog(module.c_str(), "update.log");
        EXPECT_FALSE(moduleLog.IsEnabled());
        EXPECT_EQ(moduleLog.Path(), dir.FileA("log\\Lumsek.log"));
        EXPECT_EQ(moduleLog.Write(L"trace %d", 1), 0);
        EXPECT_EQ(updateLog.Write(L"update %d", 1), 8);
        EXPECT_FALSE(FileExists(dir.File(L"log\\Lumsek.log")));
        EXPECT_EQ(OneMessage(dir.FileA("log\\update.log")), "update 1");
    }
    struct Case { const char* content; bool enabled; };
    const Case cases[] = {
        {"[pemo]\r\nlog=1\r\n", true},
        {"[PEMO]\r\nLOG = 7\r\n", true},
        {"[pemo]\r\nlog=0\r\n", false},
        {"[pemo]\r\nlog=abc\r\n", false},
        {"[other]\r\nlog=1\r\n", false},
        {"\x01\x02[pemo\xff\xfe=\r\n\x00\x00log", false},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteFileBytes(dir.File(L"pemover.dat"), c.content));
        CLogFile moduleLog;
        moduleLog.SetupModuleLog(module.c_str());
        EXPECT_EQ(moduleLog.IsEnabled(), c.enabled) << c.content;
        ::DeleteFileW(dir.File(L"log\\Lumsek.log").c_str());
        EXPECT_EQ(moduleLog.Write(L"on") == 2, c.enabled) << c.content;
        EXPECT_EQ(FileExists(dir.File(L"log\\Lumsek.log")), c.enabled) << c.content;
    }
}

TEST(Log, PathsWhenTheModulePathIsOdd) {
    CLogFile log;
    // Forward slashes count as backslashes; the name loses its extension only.
    log.SetupModuleLog("Z:/no/such/folder/my.module.dll");
    EXPECT_EQ(log.Path(), "Z:\\no\\such\\folder\\log\\my.module.log");
    EXPECT_FALSE(log.IsEnabled());
    // No backslash: the module path + ".log", per-module log off.
    log.SetupModuleLog("pelvane.exe");
    EXPECT_EQ(log.Path(), "pelvane.exe.log");
    EXPECT_FALSE(log.IsEnabled());
    // No module path at all.
    log.SetupModuleLog(nullptr);
    EXPECT_EQ(log.Path(), ".\\unknown_module.log");
    EXPECT_FALSE(log.IsEnabled());
    log.SetupNamedLog(nullptr, "update.log");
    EXPECT_EQ(log.Path(), ".\\update.log");
    EXPECT_TRUE(log.IsEnabled());
}

TEST(Log, RotationAtLoadTime) {
    TempDir dir;
    ASSERT_TRUE(::CreateDirectoryW(dir.File(L"log").c_str(), nullptr));
    const std::string path = dir.FileA("log\\service.log");
    const std::string previous = path + "0";

    // A 300 KiB log becomes service.log0, replacing a read-only older copy;
    // the next line starts a new service.log.
    ASSERT_TRUE(WriteFileBytes(platform::AnsiToWide(path), std::string(300 * 1024, 'a')));
    ASSERT_TRUE(WriteFileBytes(platform::AnsiToWide(previous), "older"));
    ASSERT_TRUE(::SetFileAttributesA(previous.c_str(), FILE_ATTRIBUTE_READONLY));
    CLogFile log;
    log.SetupNamedLog(dir.FileA("pelvane.exe").c_str(), "service.log");
    RotateLogFile(log.Path().c_str());
    EXPECT_EQ(FileSize(previous), 300u * 1024);
    EXPECT_FALSE(FileExists(platform::AnsiToWide(path)));
    EXPECT_EQ(log.Write(L"fresh"), 5);
    EXPECT_EQ(OneMessage(path), "fresh");

    // The limit is 256 KiB, inclusive; below it nothing moves.
    ASSERT_TRUE(WriteFileBytes(platform::AnsiToWide(path), std::string(0x3FFFF, 'b')));
    RotateLogFile(path.c_str());
    EXPECT_EQ(FileSize(path), 0x3FFFFu);
    EXPECT_EQ(FileSize(previous), 300u * 1024);
    ASSERT_TRUE(WriteFileBytes(platform::AnsiToWide(path), std::string(0x40000, 'c')));
    RotateLogFile(path.c_str());
    EXPECT_FALSE(FileExists(platform::AnsiToWide(path)));
    EXPECT_EQ(FileSize(previous), 0x40000u);

    // Within a run the log grows past the limit: rotation happens only at load.
    for (int i = 0; i < 30; ++i) log.Write(L"%s", std::wstring(10000, L'z').c_str());
    EXPECT_GT(FileSize(path), 0x40000u);

    // Missing files, folders and null paths are left alone.
    RotateLogFile(dir.FileA("log\\missing.log").c_str());
    RotateLogFile(nullptr);
    ASSERT_TRUE(::CreateDirectoryA(dir.FileA("log\\folder.log").c_str(), nullptr));
    RotateLogFile(dir.FileA("log\\folder.log").c_str());
    EXPECT_TRUE(FileExists(dir.File(L"log\\folder.log")));
}

namespace {

struct WriterArgs {
    CLogFile* log;
    int id;
    int lines;
};

unsigned __stdcall WriterThread(void* p) {
    WriterArgs* args = static_cast<WriterArgs*>(p);
    // Lines of varying length, some long enough to take several file writes' worth.
    for (int i = 0; i < args->lines; ++i) {
        args->log->Write(L"writer %d line %d %s", args->id, i, std::wstring(static_cast<size_t>((i * 37) % 700), L'#').c_str());
    }
    return 0;
}

} // namespace

TEST(Log, ConcurrentWritersNeverMixLines) {
    TempDir dir;
    const std::string module = dir.FileA("pelvane.exe");
    // Two logs on one file stand for two processes appending to the same log.
    CLogFile first, second;
    first.SetupNamedLog(module.c_str(), "service.log");
    second.SetupNamedLog(module.c_str(), "service.log");
    const int kWriters = 8, kLines = 150;
    std::vector<WriterArgs> args;
    for (int w = 0; w < kWriters; ++w) args.push_back({w < 6 ? &first : &second, w, kLines});
    std::vector<platform::Thread> threads(kWriters);
    for (int w = 0; w < kWriters; ++w) ASSERT_TRUE(threads[w].Start(WriterThread, &args[w]));
    for (auto& t : threads) ASSERT_TRUE(t.Join(120000));

    const std::vector<std::string> lines = SplitLines(ReadWholeFile(dir.File(L"log\\service.log")));
    ASSERT_EQ(lines.size(), static_cast<size_t>(kWriters * kLines));
    std::map<int, int> nextLine;
    for (const std::string& line : lines) {
        SYSTEMTIME when;
        std::string message;
        ASSERT_TRUE(SplitStamp(line, when, message)) << line.substr(0, 80);
        int id = -1, n = -1, used = 0;
        ASSERT_EQ(std::sscanf(message.c_str(), "writer %d line %d %n", &id, &n, &used), 2) << message.substr(0, 80);
        ASSERT_EQ(message.size() - static_cast<size_t>(used), static_cast<size_t>((n * 37) % 700)) << message.substr(0, 80);
        ASSERT_EQ(message.find_first_not_of('#', static_cast<size_t>(used)), std::string::npos);
        // Each writer's lines arrive in its own order.
        ASSERT_EQ(n, nextLine[id]) << "writer " << id;
        nextLine[id] = n + 1;
    }
    for (int w = 0; w < kWriters; ++w) EXPECT_EQ(nextLine[w], kLines);
}

TEST(Log, ProgramLogsLiveBesideTheProgram) {
    std::string self;
    ASSERT_TRUE(GetOwnModulePathA(self));
    ASSERT_GT(self.size(), 22u);
    EXPECT_EQ(self.substr(self.size() - 22), "\\module_util_tests.exe");
    const std::string folder = self.substr(0, self.rfind('\\') + 1);

    // The load-time set-up places the logs beside the program.
    std::unique_ptr<CLogFile> update(CreateLoadedNamedLog("update.log"));
    std::unique_ptr<CLogFile> service(CreateLoadedNamedLog("service.log"));
    std::unique_ptr<CLogFile> perModule(CreateLoadedModuleLog());
    EXPECT_EQ(update->Path(), folder + "log\\update.log");
    EXPECT_EQ(service->Path(), folder + "log\\service.log");
    EXPECT_EQ(perModule->Path(), folder + "log\\module_util_tests.log");
    EXPECT_TRUE(update->IsEnabled());
    EXPECT_TRUE(service->IsEnabled());
    const bool switchedOn = ::GetPrivateProfileIntA("pemo", "log", 0, (folder + "pemover.dat").c_str()) != 0;
    EXPECT_EQ(perModule->IsEnabled(), switchedOn);

    // The program's own logs: the named ones always write.
    EXPECT_EQ(UpdateLog(L"update %s", L"works"), 12);
    EXPECT_EQ(ServiceLog(L"service %d", 7), 9);
    EXPECT_EQ(ModuleLog(L"trace") != 0, switchedOn);
    EXPECT_EQ(UpdateLog(nullptr), 0);

    // Under the test runner the program may sit on a path Wine gives without
    // a drive; the lines can only be read back from a real drive path.
    if (self.size() > 2 && (self[1] == ':' || self.compare(0, 2, "\\\\") == 0)) {
        std::vector<std::string> lines = SplitLines(ReadWholeFile(platform::AnsiToWide(update->Path())));
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back().substr(19), " update works");
        lines = SplitLines(ReadWholeFile(platform::AnsiToWide(service->Path())));
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back().substr(19), " service 7");
        ::DeleteFileA(update->Path().c_str());
        ::DeleteFileA(service->Path().c_str());
        ::RemoveDirectoryA((folder + "log").c_str());
    }
}
