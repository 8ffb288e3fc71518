#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "module_test_util.h"
#include "platform/strconv.h"
#include "platform/thread.h"
#include "service/log.h"
#include "service/log_file.h"

using testing_support::PathExists;
using testing_support::WriteFileBytes;

namespace {

using Texts = std::vector<std::string>;

std::string Read(const std::string& path) { return testing_support::ReadFileBytes(platform::AnsiToWide(path)); }

// The lines of a log with their "YYYY-MM-DD HH:MM:SS " stamps; a line
// without a stamp or a last one without CR LF is marked.
Texts Lines(const std::string& path, bool withStamps = true) {
    static const std::regex stamp("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d ");
    const std::string text = Read(path);
    Texts lines;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find("\r\n", start);
        std::string line = text.substr(start, end - start);
        if (end == std::string::npos) line += "<no CR LF>";
        const bool stamped = line.size() >= 20 && std::regex_match(line.substr(0, 20), stamp);
        lines.push_back(!stamped ? "<no stamp>" + line : withStamps ? line : line.substr(20));
        start = end == std::string::npos ? text.size() : end + 2;
    }
    return lines;
}
Texts Messages(const std::string& path) { return Lines(path, false); }

std::string LocalStamp() {
    SYSTEMTIME t;
    ::GetLocalTime(&t);
    char text[32];
    std::snprintf(text, sizeof(text), "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                  t.wSecond);
    return text;
}

TEST(Log, LinesCarryTheLocalTimeAndMessageTextRules) {
    TempDir dir;
    CLogFile log;
    log.SetupNamedLog(dir.FileA("pelvane.exe").c_str(), "service.log");
    EXPECT_TRUE(log.IsEnabled());
    const std::string path = dir.FileA("log\\service.log");
    EXPECT_EQ(log.Path(), path);

    const std::string before = LocalStamp();
    EXPECT_EQ(log.Write(L"%s:%d", L"abc", 5), 5);
    const std::string after = LocalStamp();
    const Texts lines = Lines(path);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_GE(lines[0].substr(0, 19), before);
    EXPECT_LE(lines[0], after + " abc:5");
    auto take = [&] {
        Texts messages = Messages(path);
        ::DeleteFileA(path.c_str());
        return messages;
    };
    EXPECT_EQ(take(), Texts{"abc:5"});

    // A "%" in the text is stored as "_"; the count is of the formatted text.
    EXPECT_EQ(log.Write(L"%s", L"C:\\100%done %d"), 14);
    EXPECT_EQ(log.Write(L"50%%"), 3);
    EXPECT_EQ(take(), (Texts{"C:\\100_done _d", "50_"}));

    // Wide text goes to the file in the ANSI code page.
    EXPECT_GT(log.Write(L"\u4e0b\u8f7d%s\u5931\u8d25\uff0c\u9519\u8bef\u7801\uff1a%d", L"http://host/a", 28), 0);
    EXPECT_EQ(take(), Texts{platform::WideToAnsi(L"\u4e0b\u8f7dhttp://host/a\u5931\u8d25\uff0c\u9519\u8bef\u7801\uff1a28")});

    // Messages are cut to 25,598 characters, exactly at the edge too.
    EXPECT_EQ(log.Write(L"%s", std::wstring(30000, L'x').c_str()), 25598);
    EXPECT_EQ(log.Write(L"%s", std::wstring(25598, L'y').c_str()), 25598);
    EXPECT_EQ(take(), (Texts{std::string(25598, 'x'), std::string(25598, 'y')}));

    EXPECT_EQ(log.Write(nullptr), 0);
    EXPECT_FALSE(PathExists(platform::AnsiToWide(path)));
}

TEST(Log, PerModuleLogFollowsTheSwitchFile) {
    TempDir dir;
    const std::string module = dir.FileA("Lumsek.dll");
    // No "pemover.dat" (first row): the per-module log is off.
    struct Case { const char* content; bool enabled; };
    const Case cases[] = {
        {nullptr, false},
        {"[pemo]\r\nlog=1\r\n", true},          {"[PEMO]\r\nLOG = 7\r\n", true},
        {"[pemo]\r\nlog=0\r\n", false},         {"[pemo]\r\nlog=abc\r\n", false},
        {"[other]\r\nlog=1\r\n", false},        {"\x01\x02[pemo\xff\xfe=\r\n\x00\x00log", false},
    };
    for (const Case& c : cases) {
        if (c.content) {
            ASSERT_TRUE(WriteFileBytes(dir.File(L"pemover.dat"), c.content));
        }
        CLogFile moduleLog;
        moduleLog.SetupModuleLog(module.c_str());
        EXPECT_EQ(moduleLog.Path(), dir.FileA("log\\Lumsek.log"));
        EXPECT_EQ(moduleLog.IsEnabled(), c.enabled) << c.content;
        ::DeleteFileW(dir.File(L"log\\Lumsek.log").c_str());
        EXPECT_EQ(moduleLog.Write(L"on") == 2, c.enabled) << c.content;
        EXPECT_EQ(PathExists(dir.File(L"log\\Lumsek.log")), c.enabled) << c.content;
    }

    // Odd module paths: forward slashes count, only the extension goes, and
    // without a folder or a path at all the log still has a name.
    CLogFile log;
    log.SetupModuleLog("Z:/no/such/folder/my.module.dll");
    EXPECT_EQ(log.Path(), "Z:\\no\\such\\folder\\log\\my.module.log");
    EXPECT_FALSE(log.IsEnabled());
    log.SetupModuleLog("pelvane.exe");
    EXPECT_EQ(log.Path(), "pelvane.exe.log");
    log.SetupModuleLog(nullptr);
    EXPECT_EQ(log.Path(), ".\\unknown_module.log");
    log.SetupNamedLog(nullptr, "update.log");
    EXPECT_EQ(log.Path(), ".\\update.log");
    EXPECT_TRUE(log.IsEnabled());
}

TEST(Log, RotationAtLoadTime) {
    TempDir dir;
    const std::string path = dir.FileA("log\\service.log");
    const std::string previous = path + "0";

    // At 256 KiB (inclusive) the log becomes service.log0, replacing a
    // read-only older copy; the next line starts a new service.log.
    ASSERT_TRUE(WriteFileBytes(platform::AnsiToWide(path), std::string(0x40000, 'a')));
    ASSERT_TRUE(WriteFileBytes(platform::AnsiToWide(previous), "older"));
    ASSERT_TRUE(::SetFileAttributesA(previous.c_str(), FILE_ATTRIBUTE_READONLY));
    CLogFile log;
    log.SetupNamedLog(dir.FileA("pelvane.exe").c_str(), "service.log");
    RotateLogFile(log.Path().c_str());
    EXPECT_EQ(Read(previous), std::string(0x40000, 'a'));
    EXPECT_EQ(log.Write(L"fresh"), 5);
    EXPECT_EQ(Messages(path), Texts{"fresh"});
    // One byte less: nothing moves.
    ASSERT_TRUE(WriteFileBytes(platform::AnsiToWide(path), std::string(0x3FFFF, 'b')));
    RotateLogFile(path.c_str());
    EXPECT_EQ(Read(path).size(), 0x3FFFFu);

    // Missing files, folders and null paths are left alone.
    RotateLogFile(dir.FileA("log\\missing.log").c_str());
    RotateLogFile(nullptr);
    ASSERT_TRUE(::CreateDirectoryA(dir.FileA("log\\folder.log").c_str(), nullptr));
    RotateLogFile(dir.FileA("log\\folder.log").c_str());
    EXPECT_TRUE(PathExists(dir.File(L"log\\folder.log")));
}

const int kWriters = 8, kLines = 150;
struct WriterArgs {
    CLogFile* log;
    int id;
};

unsigned __stdcall WriterThread(void* p) {
    const WriterArgs* args = static_cast<WriterArgs*>(p);
    for (int i = 0; i < kLines; ++i)
        args->log->Write(L"writer %d line %d %s", args->id, i, std::wstring(static_cast<size_t>((i * 37) % 700), L'#').c_str());
    return 0;
}

TEST(Log, ConcurrentWritersNeverMixLines) {
    TempDir dir;
    const std::string module = dir.FileA("pelvane.exe");
    // Two logs on one file stand for two processes appending to the same log.
    CLogFile first, second;
    first.SetupNamedLog(module.c_str(), "service.log");
    second.SetupNamedLog(module.c_str(), "service.log");
    WriterArgs args[kWriters];
    platform::Thread threads[kWriters];
    for (int w = 0; w < kWriters; ++w) {
        args[w] = {w < 6 ? &first : &second, w};
        ASSERT_TRUE(threads[w].Start(WriterThread, &args[w]));
    }
    for (auto& t : threads) ASSERT_TRUE(t.Join(120000));

    const Texts messages = Messages(first.Path());
    ASSERT_EQ(messages.size(), static_cast<size_t>(kWriters * kLines));
    std::map<int, int> nextLine;
    for (const std::string& message : messages) {
        int id = -1, n = -1, used = 0;
        ASSERT_EQ(std::sscanf(message.c_str(), "writer %d line %d %n", &id, &n, &used), 2) << message.substr(0, 80);
        ASSERT_EQ(message.substr(used), std::string(static_cast<size_t>((n * 37) % 700), '#')) << message.substr(0, 80);
        // Each writer's lines arrive in its own order.
        ASSERT_EQ(n, nextLine[id]) << "writer " << id;
        nextLine[id] = n + 1;
    }
    for (int w = 0; w < kWriters; ++w) EXPECT_EQ(nextLine[w], kLines);
}

TEST(Log, ProgramLogsLiveBesideTheProgram) {
    std::string self;
    ASSERT_TRUE(GetOwnModulePathA(self));
    const std::string folder = self.substr(0, self.rfind('\\') + 1);
    std::unique_ptr<CLogFile> update(CreateLoadedNamedLog("update.log"));
    EXPECT_EQ(update->Path(), folder + "log\\update.log");
    // The program's own logs: the named ones always write.
    EXPECT_EQ(UpdateLog(L"update %s", L"works"), 12);
    EXPECT_EQ(ServiceLog(L"service %d", 7), 9);

    // Under the test runner the program may sit on a path Wine gives without
    // a drive; the lines can only be read back from a real drive path.
    if (self[1] == ':' || self.compare(0, 2, "\\\\") == 0) {
        const std::string service = folder + "log\\service.log";
        EXPECT_EQ(Messages(update->Path()).back(), "update works");
        EXPECT_EQ(Messages(service).back(), "service 7");
        ::DeleteFileA(update->Path().c_str());
        ::DeleteFileA(service.c_str());
        ::RemoveDirectoryA((folder + "log").c_str());
    }
}

} // namespace
