#pragma once
// An update channel published on the loopback test server, an install
// folder to update, and the stand-in programs around the updater.
#include "tests/module_http/test_server.h"

#include <zlib.h>

#include <string>
#include <vector>

#include "module/md5.h"
#include "module/update_task.h"
#include "tests/module_util/module_test_util.h"

namespace update_test {

inline std::string Pack(const std::string& text) {
    uLongf size = compressBound(static_cast<uLong>(text.size()));
    std::string out(size, '\0');
    compress(reinterpret_cast<Bytef*>(&out[0]), &size, reinterpret_cast<const Bytef*>(text.data()),
             static_cast<uLong>(text.size()));
    out.resize(size);
    return out;
}

inline std::string Lower(std::string s) {
    for (auto& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
}

// What the server publishes as the check value of a file named `name`.
inline std::string CheckValue(const std::string& content, const std::string& name) {
    const std::string inner = Lower(Md5HexOfBuffer(content.data(), content.size()) + name);
    return Md5HexOfBuffer(inner.data(), inner.size());
}

inline uint32_t Crc(const std::string& content) {
    return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(content.data()), static_cast<uInt>(content.size())));
}

inline std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// Linux paths by their Windows names: the prefix maps no drive to the build tree.
using testing_support::UnixToWindowsPath;

// The Windows name of a file below the server's published folder ("srv/<path>").
inline std::wstring PublishedPath(const std::string& path) {
    return UnixToWindowsPath(testing_support::UnixWorkFolder() + "/srv/" + path);
}

inline void Publish(const std::string& path, const std::string& bytes) {
    // Folder by folder below the Linux root ("\\?\unix\...").
    const std::wstring full = PublishedPath(path);
    for (size_t i = full.find(L'\\', 9); i != std::wstring::npos; i = full.find(L'\\', i + 1))
        ::CreateDirectoryW(full.substr(0, i).c_str(), nullptr);
    ASSERT_TRUE(testing_support::WriteFileBytes(PublishedPath(path), bytes)) << path;
}

inline void Unpublish(const std::string& path) { ::DeleteFileW(PublishedPath(path).c_str()); }

// One file of a leaf index.
struct FileSpec {
    std::string section, name, content, localFolder, extra;  // extra: more "key=value\r\n" lines
};

// Publishes the files of a leaf index below channelPath + subPath and
// answers the index text.
inline std::string PublishLeaf(const std::string& channelPath, const std::string& subPath,
                               const std::vector<FileSpec>& files) {
    std::string text = "[COMMENT]\r\nnote=test\r\n";
    for (const FileSpec& f : files) {
        const std::string sfn = CheckValue(f.content, f.name);
        Publish(channelPath + subPath + sfn, Pack(f.content));
        text += "[" + f.section + "]\r\nFN=" + f.name + "\r\nSFN=" + sfn + "\r\nCV=3\r\nC=" +
                std::to_string(Crc(f.content)) + "\r\n";
        if (!f.localFolder.empty()) text += "LP=" + f.localFolder + "\r\n";
        text += f.extra;
    }
    return text;
}

// Publishes a packed index and answers the check value its parent lists.
inline std::string PublishIndex(const std::string& path, const std::string& text, const std::string& localName) {
    Publish(path, Pack(text));
    return CheckValue(text, localName);
}

inline std::string SubList(const std::vector<std::pair<std::string, std::string>>& subs) {
    std::string text = "[info]\r\nc=" + std::to_string(subs.size()) + "\r\n";
    for (size_t i = 0; i < subs.size(); ++i)
        text += "p" + std::to_string(i) + "=" + subs[i].first + "\r\nm" + std::to_string(i) + "=" + subs[i].second + "\r\n";
    return text;
}

// Paths the server was asked for since the last call, below /srv.
inline std::vector<std::string> Requests() {
    std::vector<std::string> out;
    const std::string text = TestServer::Instance()->Get("/requests");
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

inline std::wstring ServerUrl(const std::string& prefix = "/srv") {
    return Wide(TestServer::Instance()->Url(prefix));
}

// The stand-in program built beside the tests.
inline std::wstring StubProgram() { return UnixToWindowsPath(UPDATE_STUB_PATH); }

inline bool WaitForFile(const std::wstring& path, DWORD ms = 20000) {
    for (DWORD waited = 0; waited < ms; waited += 50, ::Sleep(50))
        if (testing_support::PathExists(path)) return true;
    return false;
}

}  // namespace update_test
