#include "ui/bkfontpool.h"

#include <cwchar>

#include "platform/trace.h"

namespace {

const wchar_t kYaHeiChinese[] = L"\x5FAE\x8F6F\x96C5\x9ED1";   // 微软雅黑
const wchar_t kYaHeiEnglish[] = L"Microsoft YaHei";
const wchar_t kSongTi[] = L"\x5B8B\x4F53";                      // 宋体

bool IsYaHeiFace(const std::wstring& face)
{
    return face == kYaHeiChinese || face == kYaHeiEnglish;
}

} // namespace

BkFontPool::BkFontPool() : m_lfTemplate(), m_strFace(kSongTi), m_lHeight(-12)
{
    std::wstring face = ChooseDefaultFace(&BkFontPool::IsFontRegistered);
    ApplyDefaultFont(face.c_str(), -12);
}

BkFontPool::~BkFontPool()
{
    for (auto& entry : m_fonts) {
        if (entry.second)
            ::DeleteObject(entry.second);
    }
}

BkFontPool& BkFontPool::GetInstance()
{
    static BkFontPool instance;
    return instance;
}

std::wstring BkFontPool::ChooseDefaultFace(const std::function<BOOL(LPCWSTR)>& isRegistered)
{
    if (isRegistered(L"\x5FAE\x8F6F\x96C5\x9ED1 (TrueType)"))
        return kYaHeiChinese;
    if (isRegistered(L"Microsoft YaHei (TrueType)") ||
        isRegistered(L"Microsoft YaHei (TrueType) & Microsoft YaHei UI (TrueType)"))
        return kYaHeiEnglish;
    if (isRegistered(L"\x5B8B\x4F53 & \x65B0\x5B8B\x4F53 (TrueType)"))   // 宋体 & 新宋体
        return kSongTi;
    if (isRegistered(L"SimSun & NSimSun (TrueType)"))
        return L"SimSun";
    return kSongTi;
}

BOOL BkFontPool::IsFontRegistered(LPCWSTR lpszValueName)
{
    if (!lpszValueName)
        return FALSE;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
                        0, KEY_READ, &key) != ERROR_SUCCESS)
        return FALSE;
    wchar_t data[MAX_PATH + 1];
    DWORD type = 0;
    DWORD size = sizeof(wchar_t) * MAX_PATH;
    LONG rc = ::RegQueryValueExW(key, lpszValueName, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    ::RegCloseKey(key);
    return rc == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ);
}

void BkFontPool::SetDefaultFont(LPCWSTR lpszFace, LONG lHeight)
{
    GetInstance().ApplyDefaultFont(lpszFace, lHeight);
}

void BkFontPool::ApplyDefaultFont(LPCWSTR lpszFace, LONG lHeight)
{
    m_strFace = lpszFace ? lpszFace : L"";
    m_lHeight = lHeight;

    LOGFONTW lf = {};
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
    lf.lfHeight = m_lHeight;
    // The face field holds 31 characters and the NUL; a longer name is cut.
    size_t count = m_strFace.copy(lf.lfFaceName, LF_FACESIZE - 1);
    lf.lfFaceName[count] = L'\0';
    lf.lfQuality = IsYaHeiFace(m_strFace) ? CLEARTYPE_QUALITY : ANTIALIASED_QUALITY;
    m_lfTemplate = lf;

    HFONT font = ::CreateFontIndirectW(&m_lfTemplate);
    if (!font)
        platform::TraceLastError("CreateFontIndirectW (default font)");
    auto it = m_fonts.find(0);
    HFONT old = it != m_fonts.end() ? it->second : nullptr;
    if (font)
        m_fonts[0] = font;
    else if (it != m_fonts.end())
        m_fonts.erase(it);   // the next GetFont(0) tries again
    if (old)
        ::DeleteObject(old);
}

HFONT BkFontPool::NewFont(int nSizeDelta, BOOL bBold, BOOL bUnderline, BOOL bItalic) const
{
    LOGFONTW lf = m_lfTemplate;
    lf.lfWeight = bBold ? FW_BOLD : FW_NORMAL;
    lf.lfUnderline = bUnderline ? TRUE : FALSE;
    lf.lfItalic = bItalic ? TRUE : FALSE;
    // Heights are negative (character height), so a larger font goes further down.
    lf.lfHeight = m_lfTemplate.lfHeight - nSizeDelta;
    HFONT font = ::CreateFontIndirectW(&lf);
    if (!font)
        platform::TraceLastError("CreateFontIndirectW");
    return font;
}

HFONT BkFontPool::CreateNewFont(int nSizeDelta, BOOL bBold, BOOL bUnderline, BOOL bItalic)
{
    return GetInstance().NewFont(nSizeDelta, bBold, bUnderline, bItalic);
}

HFONT BkFontPool::Font(BkFontKey key)
{
    auto it = m_fonts.find(key);
    if (it != m_fonts.end())
        return it->second;
    int delta = static_cast<signed char>(static_cast<BYTE>(key >> 8));
    HFONT font = NewFont(delta, (key & BKF_BOLD) != 0, (key & BKF_UNDERLINE) != 0, (key & BKF_ITALIC) != 0);
    if (font)
        m_fonts[key] = font;
    return font;
}

HFONT BkFontPool::GetFont(BkFontKey key)
{
    return GetInstance().Font(key);
}

BOOL BkFontPool::IsYaHeiDefault()
{
    return IsYaHeiFace(GetInstance().m_strFace);
}

int BkFontPool::GetFontSizeDelta(HFONT hFont)
{
    LOGFONTW lf = {};
    if (!hFont || ::GetObjectW(hFont, sizeof(lf), &lf) == 0)
        return 0;
    return static_cast<int>(GetInstance().m_lHeight - lf.lfHeight);
}

const std::wstring& BkFontPool::GetDefaultFace()
{
    return GetInstance().m_strFace;
}

LONG BkFontPool::GetDefaultHeight()
{
    return GetInstance().m_lHeight;
}
