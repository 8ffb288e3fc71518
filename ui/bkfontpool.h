#pragma once
// The one source of GDI fonts for the skinned UI. A font is named by a 16-bit
// key that says how it differs from the default font:
//   bits 15-8  signed size delta in pixels (added to the default size)
//   bit 2      bold, bit 1 underline, bit 0 italic
//   bits 7-3   unused for the font, but part of the key
// Fonts are created once per key and kept until the process ends; callers
// never delete them.
#include <functional>
#include <string>
#include <unordered_map>
#include <windows.h>

typedef WORD BkFontKey;

#define BKF_ITALIC    0x0001
#define BKF_UNDERLINE 0x0002
#define BKF_BOLD      0x0004
#define BKF_MAKEKEY(delta, flags) static_cast<BkFontKey>((static_cast<BYTE>(static_cast<signed char>(delta)) << 8) | ((flags) & 0xFF))

class BkFontPool {
public:
    // The pool; the first call picks the default face from the installed fonts.
    static BkFontPool& GetInstance();

    // Sets the default face and height and rebuilds the key-0 font. Fonts of
    // other keys made earlier keep their face. A face longer than LOGFONTW
    // holds is cut.
    static void SetDefaultFont(LPCWSTR lpszFace, LONG lHeight);
    static HFONT GetFont(BkFontKey key);
    // A new font from the template, not cached; the caller owns it.
    static HFONT CreateNewFont(int nSizeDelta, BOOL bBold, BOOL bUnderline, BOOL bItalic);
    static BOOL IsYaHeiDefault();
    // Default height minus the font's height: 2 for a font two pixels larger.
    static int GetFontSizeDelta(HFONT hFont);
    // A string value of that name under HKLM's system font list.
    static BOOL IsFontRegistered(LPCWSTR lpszValueName);

    static const std::wstring& GetDefaultFace();
    static LONG GetDefaultHeight();

    // The first-run face choice, with the font-list lookup passed in.
    static std::wstring ChooseDefaultFace(const std::function<BOOL(LPCWSTR)>& isRegistered);

    ~BkFontPool();
    BkFontPool(const BkFontPool&) = delete;
    BkFontPool& operator=(const BkFontPool&) = delete;

private:
    BkFontPool();
    void ApplyDefaultFont(LPCWSTR lpszFace, LONG lHeight);
    HFONT NewFont(int nSizeDelta, BOOL bBold, BOOL bUnderline, BOOL bItalic) const;
    HFONT Font(BkFontKey key);

    LOGFONTW m_lfTemplate;
    std::unordered_map<BkFontKey, HFONT> m_fonts;
    std::wstring m_strFace;
    LONG m_lHeight;
};
