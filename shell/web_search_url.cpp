#include "shell/web_search_url.h"

#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "index/search_query.h"
#include "platform/handle.h"
#include "platform/strconv.h"
#include "platform/trace.h"

namespace {

struct WebSearchRow {
    DWORD category;        // SQF_* bit, 0 for all files
    const wchar_t* host;
    const wchar_t* path;   // path and query key
    const wchar_t* prefix; // put before the query
};

const WebSearchRow kRows[] = {
    {0, L"https://www.baidu.com", L"/s?e=utf-8&wd=", L""},
    {SQF_PICTURE, L"https://image.baidu.com", L"/i?ie=utf-8&word=", L""},
    {SQF_VIDEO, L"https://video.baidu.com", L"/v?ie=utf-8&word=", L""},
    {SQF_AUDIO, L"https://music.baidu.com", L"/search?ie=utf-8&key=", L""},
    {SQF_DOCUMENT, L"https://wenku.baidu.com", L"/search?word=", L""},
    {SQF_ARCHIVE, L"https://www.baidu.com", L"/s?ie=utf-8&wd=inurl", L":rar "},
};

bool IsUrlSpace(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool IsAsciiAlnum(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

} // namespace

std::string UrlFormEncode(const std::wstring& text) {
    static const char kHex[] = "0123456789ABCDEF";
    const std::string utf8 = platform::WideToUtf8(text);
    std::string out;
    out.reserve(utf8.size() * 3);
    for (unsigned char c : utf8) {
        if (IsAsciiAlnum(c)) {
            out += static_cast<char>(c);
        } else if (IsUrlSpace(c)) {
            out += '+';
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        }
    }
    return out;
}

std::wstring BuildWebSearchUrl(DWORD filterMask, const std::wstring& query) {
    const DWORD category = filterMask & SQF_CATEGORY_MASK;
    const WebSearchRow* row = &kRows[0];
    for (const WebSearchRow& r : kRows)
        if (r.category != 0 && (category & r.category)) {
            row = &r;
            break;
        }
    const std::string encoded = UrlFormEncode(row->prefix + query);
    return std::wstring(row->host) + row->path + platform::Utf8ToWide(encoded);
}

const wchar_t* ProductWebSite() { return L"https://lumsek.example.com/"; }

BOOL OpenUrl(const std::wstring& url) {
    HINSTANCE shell = ::ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    if (reinterpret_cast<INT_PTR>(shell) > 32) return TRUE;
    platform::Trace("ShellExecuteW(url) answered %d", static_cast<int>(reinterpret_cast<INT_PTR>(shell)));

    wchar_t browser[MAX_PATH + 40] = {};
    if (!::SHGetSpecialFolderPathW(nullptr, browser, CSIDL_PROGRAM_FILES, FALSE) ||
        !::PathAppendW(browser, L"Internet Explorer\\iexplore.exe")) {
        return FALSE;
    }
    // Both the program and the address quoted: the address is one argument
    // whatever it holds.
    std::wstring command = L"\"" + std::wstring(browser) + L"\" \"";
    for (wchar_t c : url) command += c == L'"' ? std::wstring(L"%22") : std::wstring(1, c);
    command += L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        platform::TraceLastError("CreateProcessW(browser)");
        return FALSE;
    }
    platform::UniqueHandle process(pi.hProcess);
    platform::UniqueHandle thread(pi.hThread);
    return TRUE;
}
