// Module paths longer than MAX_PATH are taken whole: a path cut to fit a
// buffer names some other folder (for the program's own path, the index
// files, "res", "report.ini" and the update marker would all go there).
// Wine cannot start a program from such a folder, so a library loaded from
// one stands in for the program.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "index/app_context.h"
#include "platform/module_path.h"
#include "tests/support/test_support.h"

namespace {

using testing_support::UnixToWindowsPath;

const wchar_t kLongPrefix[] = L"\\\\?\\";

std::wstring WithoutLongPrefix(const std::wstring& path) {
    return path.compare(0, 4, kLongPrefix) == 0 ? path.substr(4) : path;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    const std::wstring x = WithoutLongPrefix(a), y = WithoutLongPrefix(b);
    return ::CompareStringOrdinal(x.c_str(), -1, y.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// A new folder whose path is well over MAX_PATH, below the temporary folder.
class LongFolder {
public:
    LongFolder() {
        wchar_t temp[MAX_PATH] = {}, name[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        if (!::GetTempFileNameW(temp, L"lng", 0, name) || !::DeleteFileW(name)) return;
        std::wstring path = name;
        if (!::CreateDirectoryW((kLongPrefix + path).c_str(), nullptr)) return;
        created_.push_back(path);
        for (int level = 0; path.size() <= MAX_PATH + 40; ++level) {
            path += L"\\level" + std::to_wstring(level) + L"_" + std::wstring(48, L'x');
            if (!::CreateDirectoryW((kLongPrefix + path).c_str(), nullptr)) return;
            created_.push_back(path);
        }
        path_ = path;
    }
    ~LongFolder() {
        for (const std::wstring& file : files_) ::DeleteFileW((kLongPrefix + file).c_str());
        for (auto it = created_.rbegin(); it != created_.rend(); ++it) ::RemoveDirectoryW((kLongPrefix + *it).c_str());
    }
    // The folder without the "\\?\" prefix; empty when it could not be made.
    const std::wstring& Path() const { return path_; }
    // Copies a file into the folder; its path (without prefix), or empty.
    std::wstring Copy(const std::wstring& from, const wchar_t* name) {
        const std::wstring to = path_ + L"\\" + name;
        if (!::CopyFileW(from.c_str(), (kLongPrefix + to).c_str(), FALSE)) return std::wstring();
        files_.push_back(to);
        return to;
    }

private:
    std::wstring path_;
    std::vector<std::wstring> created_;
    std::vector<std::wstring> files_;
};

std::wstring BuildFile(const char* name) { return UnixToWindowsPath(std::string(LUMSEK_TEST_BIN_DIR "/") + name); }

TEST(ModulePath, FolderOfAPath) {
    EXPECT_EQ(L"C:\\Program Files\\Lumsek", platform::FolderOfPath(L"C:\\Program Files\\Lumsek\\lumsek.exe"));
    EXPECT_EQ(L"C:\\a/b", platform::FolderOfPath(L"C:\\a/b/c.dll"));
    EXPECT_EQ(L"", platform::FolderOfPath(L"lumsek.exe"));
}

TEST(ModulePath, ALibraryInALongFolderHasItsWholePath) {
    LongFolder folder;
    ASSERT_GT(folder.Path().size(), static_cast<size_t>(MAX_PATH));
    const std::wstring copy = folder.Copy(BuildFile("fake_module.dll"), L"fake_module.dll");
    ASSERT_FALSE(copy.empty());
    HMODULE library = ::LoadLibraryW((kLongPrefix + copy).c_str());
    ASSERT_NE(nullptr, library) << ::GetLastError();
    const std::wstring path = platform::ModuleFileName(library);
    EXPECT_TRUE(SamePath(copy, path)) << path.size();
    EXPECT_TRUE(SamePath(folder.Path(), platform::FolderOfPath(path)));
    ::FreeLibrary(library);
    // The program folder is the folder of the program's whole path.
    const std::wstring program = platform::ModuleFileName(nullptr);
    ASSERT_FALSE(program.empty());
    EXPECT_EQ(platform::FolderOfPath(program), GetAppContext()->GetModuleDir());
}

} // namespace
