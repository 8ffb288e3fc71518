#include "tests/module_http/test_server.h"

#include <curl/curl.h>

#include <cstdlib>
#include <string>

#include "module/progress_scope.h"
#include "platform/handle.h"
#include "tests/module_util/module_test_util.h"

using testing_support::ReadFileBytes;

namespace {

std::string Url(const std::string& path) { return TestServer::Instance()->Url(path); }

std::string Pattern(size_t size) {
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>(i % 251);
    return s;
}

TEST(HttpPost, SendsBodyAsGivenAndFailuresGiveAnEmptyResponse) {
    // Form characters go out exactly as given, and the length decides, not a terminator.
    std::string response = "stale";
    EXPECT_EQ(0, HttpPost(Url("/echo").c_str(), "t=run&c=YWJj+/==\0b", 16, response));
    EXPECT_EQ("application/x-www-form-urlencoded|Mozilla/4.0|*/*|t=run&c=YWJj+/==", response);

    struct Case { std::string url; int rc; };
    const Case cases[] = {
        {Url("/fail"), 500},
        {Url("/nothing-here"), 404},
        {Url("/redirect"), 302},  // posts do not follow redirects
        {ClosedUrl("/echo"), CURLE_COULDNT_CONNECT},
        {"file:///C:/windows/win.ini", CURLE_UNSUPPORTED_PROTOCOL},
        // The server answers only after 15 s; without the overall limit this
        // would be a late success.
        {Url("/silent"), CURLE_OPERATION_TIMEDOUT},
    };
    for (const Case& c : cases) {
        response = "stale";
        EXPECT_EQ(c.rc, HttpPost(c.url.c_str(), "x", 1, response)) << c.url;
        EXPECT_TRUE(response.empty()) << c.url;
    }
    EXPECT_NE(0, HttpPost("not a url at all", "x", 1, response));
}

TEST(HttpDownload, WritesFileReportsProgressAndFollowsRedirects) {
    TempDir dir;
    // Folders below the target are created.
    const std::wstring path = dir.File(L"a\\b\\big.bin");
    CProgressScope root;
    CProgressScope scope(&root, 0.5, 1.0);
    {
        CDownloadFile file(path, &scope);
        EXPECT_EQ(0, HttpDownloadToFile(file, Url("/big/200000/0").c_str()));
    }
    EXPECT_EQ(Pattern(200000), ReadFileBytes(path));
    EXPECT_DOUBLE_EQ(1.0, root.Value());

    // An existing, longer file is replaced, not overwritten in place.
    CDownloadFile shorter(path);
    EXPECT_EQ(0, HttpDownloadToFile(shorter, Url("/redirect").c_str()));
    EXPECT_EQ("hello world", ReadFileBytes(path));

    MemoryWriter writer;
    EXPECT_EQ(0, HttpDownloadToFile(writer, Url("/big/100000/5").c_str()));
    EXPECT_EQ(Pattern(100000), writer.data);
    EXPECT_EQ(1, writer.opens);
    EXPECT_EQ(1, writer.closes);
    EXPECT_EQ(0, writer.writesAfterClose + writer.badFractions);
    EXPECT_GT(writer.progressCalls, 0);
    EXPECT_DOUBLE_EQ(1.0, writer.lastFraction);

    EXPECT_EQ(404, HttpDownloadToFile(writer, Url("/missing").c_str()));
    EXPECT_EQ(CURLE_TOO_MANY_REDIRECTS, HttpDownloadToFile(writer, Url("/loop").c_str()));
    EXPECT_EQ(CURLE_COULDNT_CONNECT, HttpDownloadToFile(writer, ClosedUrl("/hello").c_str()));
    // Addresses may come from servers: no local files.
    EXPECT_EQ(CURLE_UNSUPPORTED_PROTOCOL, HttpDownloadToFile(writer, "file:///C:/windows/win.ini"));
    EXPECT_EQ(5, writer.closes);

    // A file that cannot be created fails the download even for an empty answer.
    CDownloadFile intoFolder(dir.Path());
    EXPECT_EQ(CURLE_WRITE_ERROR, HttpDownloadToFile(intoFolder, Url("/big/0/0").c_str()));
}

// Sets its own stop event once the first bytes are written.
class StopAfterFirstWrite : public CDownloadFile {
public:
    StopAfterFirstWrite(const std::wstring& path, HANDLE stop) : CDownloadFile(path, nullptr, stop), stop_(stop) {}
    HRESULT Write(const void* bytes, size_t count) override { ::SetEvent(stop_); ++writes; return CDownloadFile::Write(bytes, count); }
    int writes = 0;
    HANDLE stop_;
};

TEST(HttpDownload, StopEventAbortsAndKeepsWhatWasWritten) {
    TempDir dir;
    platform::UniqueHandle stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const std::wstring path = dir.File(L"part.bin");
    StopAfterFirstWrite writer(path, stop.Get());
    EXPECT_EQ(CURLE_WRITE_ERROR, HttpDownloadToFile(writer, Url("/big/2000000/20").c_str()));
    EXPECT_EQ(1, writer.writes);
    const std::string got = ReadFileBytes(path);
    EXPECT_TRUE(!got.empty() && got.size() < 2000000u) << got.size();
    EXPECT_EQ(Pattern(got.size()), got);

    // Already set before the transfer: the progress callback stops it.
    CDownloadFile stopped(dir.File(L"none.bin"), nullptr, stop.Get());
    const int rc = HttpDownloadToFile(stopped, Url("/big/2000000/20").c_str());
    EXPECT_TRUE(rc == CURLE_ABORTED_BY_CALLBACK || rc == CURLE_WRITE_ERROR) << rc;
}

TEST(DownloadFile, CloseCutsAtThePositionAndMissingFoldersAreMade) {
    TempDir dir;
    CDownloadFile file(dir.File(L"x.bin"));
    EXPECT_EQ(S_OK, file.Open());
    EXPECT_EQ(S_OK, file.Write("abcdef", 6));
    EXPECT_EQ(S_OK, file.Seek(2));
    EXPECT_EQ(S_OK, file.Close());
    EXPECT_EQ("ab", ReadFileBytes(dir.File(L"x.bin")));

    // Folder creation: every missing folder above the last backslash; a file
    // where a folder should be ends the walk with a failure.
    EXPECT_TRUE(EnsureDirectoryExists(dir.File(L"one\\two\\file.txt").c_str()));
    EXPECT_TRUE(testing_support::PathExists(dir.File(L"one\\two")));
    EXPECT_FALSE(testing_support::PathExists(dir.File(L"one\\two\\file.txt")));
    EXPECT_FALSE(EnsureDirectoryExists(dir.File(L"x.bin\\sub\\f.txt").c_str()));
    EXPECT_FALSE(EnsureDirectoryExists(nullptr));
}

TEST(ProgressScope, ClampsAndPassesShareToRoot) {
    CProgressScope root, mid(&root, 0.2, 0.6), leaf(&mid, 0.5, 1.0);
    leaf.SetValue(0.5);
    EXPECT_DOUBLE_EQ(0.75, mid.Value());
    EXPECT_DOUBLE_EQ(0.5, root.Value());
    leaf.SetValue(7.0);
    EXPECT_DOUBLE_EQ(0.6, root.Value());
    leaf.SetValue(-1.0);
    EXPECT_DOUBLE_EQ(0.0, leaf.Value());
}

} // namespace

int main(int argc, char** argv) { return RunTestsWithServer(argc, argv); }
