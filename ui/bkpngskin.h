#pragma once
// The skins that draw images decoded by GDI+:
//   "png"     CBkPngSkin: a PNG with per-pixel alpha from BkPngPool, drawn as
//             sub-images, a three-part bar (horizontal or vertical, middle
//             stretched or tiled) or an eight-piece frame;
//   "jpg"     CBkJpgSkin: a JPG from BkJpgPool, sub-images or a three-part bar;
//   "skinpng", "skinjpg"  CBkNormalPngSkin, CBkNormalJPGSkin: an image from a
//             file or a resource through BkSkinPool, drawn at the skin's own
//             opacity, which a configuration file may set.
// Sizes and margins come from untrusted skin files: every part is clipped to
// the image and a part whose size comes out empty is skipped.
#include <memory>
#include <string>
#include <windows.h>

#include "ui/bkbitmap.h"
#include "ui/bkskinbase.h"

// Margins and origin shared by the three-part drawing of the image skins.
struct BkThreePartParams {
    int nLeft = 0;          // source origin
    int nTop = 0;
    int nMarginLeft = 0;
    int nMarginRight = 0;
    int nMarginTop = 0;
    int nMarginBottom = 0;
    int nMiddleTile = 0;
};

class CBkPngSkin : public CBkSkinBase {
    BK_DECLARE_ELEMENT_NAME("png")

public:
    HRESULT SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) override;
    // dwState is the sub-image index when the skin has sub-images.
    void Draw(HDC hdc, const RECT& rcDraw, DWORD dwState) override;
    void DrawWithAttributes(Gdiplus::Graphics* pGraphics, const Gdiplus::Rect& rcDest, const Gdiplus::Rect& rcSrc,
                            Gdiplus::ImageAttributes* pAttributes) override;
    void DrawToPoints(HDC hdc, const POINT* pPoints, const RECT& rcSrc) override;
    void DrawAlpha(HDC hdc, const RECT& rcDest, const RECT& rcSrc, BYTE byAlpha) override;
    void DrawStretch(HDC hdc, const RECT& rcDest, const RECT& rcSrc) override;
    void DrawTiled(HDC hdc, const RECT& rcDraw) override;
    void DrawGray(HDC hdc, const RECT& rcDest, const RECT& rcSrc) override;
    void DrawMirrored(HDC hdc, const RECT& rcDraw) override;
    SIZE GetSkinSize() override;
    BOOL IgnoreState() override { return m_nSubWidth == 0; }
    BOOL LazyLoad() override;
    // GDI+ draw with the caller's graphics object; a failure stays in it.
    virtual void DrawPart(Gdiplus::Graphics* pGraphics, const Gdiplus::Rect& rcDest, const Gdiplus::Rect& rcSrc);

protected:
    // The image drawn (the skin's flipped copy, else the pooled image), when
    // it is loaded and decoded to a usable size.
    Gdiplus::Image* UsableImage(int* pcx = nullptr, int* pcy = nullptr) const;
    void EnsureBlendCopy();
    void DrawEightPiece(HDC hdc, const RECT& rc);
    // A flipped skin draws from a flipped copy of its own; the pooled image,
    // which other skins share, is never changed.
    void MakeFlippedCopy();

    Gdiplus::Image* m_pImage = nullptr;   // owned by BkPngPool
    // GDI+ outlives the copy: the session is declared first, so it ends last.
    std::unique_ptr<BkGdiplusSession> m_spCopySession;
    std::unique_ptr<Gdiplus::Image> m_spFlipped;
    BOOL m_bFlipTried = FALSE;
    int m_nSrc = 0;
    int m_nSubWidth = 0;
    BkThreePartParams m_parts;
    int m_nTileStretch = 0;
    int m_nFlip = 0;
    int m_nFlipType = 0;
    CBkBitmap m_bmpGray;
    BOOL m_bGrayMade = FALSE;
    CBkBitmap m_bmpBlend;   // the whole image, made on the first Draw
    BOOL m_bBlendMade = FALSE;
};

class CBkJpgSkin : public CBkSkinBase {
    BK_DECLARE_ELEMENT_NAME("jpg")

public:
    HRESULT SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) override;
    void Draw(HDC hdc, const RECT& rcDraw, DWORD dwState) override;
    // GDI+ draw with the caller's graphics object (rotated images use it).
    void DrawWithAttributes(Gdiplus::Graphics* pGraphics, const Gdiplus::Rect& rcDest, const Gdiplus::Rect& rcSrc,
                            Gdiplus::ImageAttributes* pAttributes) override;
    void DrawStretch(HDC hdc, const RECT& rcDest, const RECT& rcSrc) override;
    void DrawGray(HDC hdc, const RECT& rcDest, const RECT& rcSrc) override;
    SIZE GetSkinSize() override;
    BOOL IgnoreState() override { return m_nSubWidth == 0; }
    BOOL LazyLoad() override;

protected:
    Gdiplus::Image* UsableImage(int* pcx = nullptr, int* pcy = nullptr) const;

    Gdiplus::Image* m_pImage = nullptr;   // owned by BkJpgPool
    int m_nSrc = 0;
    int m_nSubWidth = 0;
    int m_nLeft = 0;
    int m_nTop = 0;
    int m_nMarginLeft = 0;
    int m_nMarginRight = 0;
};

class CBkNormalSkin : public CBkSkinBase {
public:
    HRESULT SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) override;
    void Draw(HDC hdc, const RECT& rcDraw, DWORD dwState) override;
    void DrawAlpha(HDC hdc, const RECT& rcDest, const RECT& rcSrc, BYTE byAlpha) override;
    void DrawStretch(HDC hdc, const RECT& rcDest, const RECT& rcSrc) override;
    void DrawTiled(HDC hdc, const RECT& rcDraw) override;
    void DrawGray(HDC hdc, const RECT& rcDest, const RECT& rcSrc) override;
    SIZE GetSkinSize() override;
    BOOL IgnoreState() override { return m_nSubWidth == 0; }

    BYTE GetAlpha() const { return static_cast<BYTE>(m_nAlpha); }

    // The configuration file that opacity keys are read from: by default
    // "data\skin\skincfg.ini" in the program's folder.
    static void SetAlphaConfigFile(const std::wstring& strPath);
    static std::wstring GetAlphaConfigFile();

protected:
    // Loads the image once through BkSkinPool; TRUE always.
    BOOL LoadOnce(LPCWSTR lpszType, BOOL bReadAlpha);

    BOOL m_bLoadTried = FALSE;
    int m_nSrc = 0;
    int m_nSubWidth = 0;
    BkThreePartParams m_parts;
    int m_nFlip = 0;          // kept, not drawn
    int m_nTileStretch = 0;   // kept, not drawn
    int m_nAlpha = 255;
    CBkBitmap m_bmpGray;
    BOOL m_bGrayMade = FALSE;
    CBkBitmap m_bmpImage;
    std::string m_strFile;
    std::string m_strExternAlphaKey;
};

class CBkNormalPngSkin : public CBkNormalSkin {
    BK_DECLARE_ELEMENT_NAME("skinpng")

public:
    BOOL LazyLoad() override { return LoadOnce(L"png", TRUE); }
};

class CBkNormalJPGSkin : public CBkNormalSkin {
    BK_DECLARE_ELEMENT_NAME("skinjpg")

public:
    BOOL LazyLoad() override { return LoadOnce(L"jpg", FALSE); }
};
