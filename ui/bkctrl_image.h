#pragma once
// Image controls: a skin drawn plainly or through a clip ("img", "img_h"),
// tiled ("imgbg"), scrolled ("scrollimg"), and the image button ("imgbtn")
// with icon, mask, caption and radio-like selection groups.
#include <string>
#include <windows.h>

#include "ui/bkwnd.h"

class CBkSkinBase;

// How many numbers "clipparam" holds at most.
#define BK_MAX_CLIP_PARAMS 20
// Offsets from layouts are held within this many pixels either way, so that
// adding them to a control's coordinates cannot overflow.
#define BK_MAX_OFFSET 1000000

class CBkImageWnd : public CBkWindow {
    BK_DECLARE_ELEMENT_NAME("img")

public:
    CBkImageWnd();
    ~CBkImageWnd() override;

    BOOL Load(const TiXmlElement* pXmlElem) override;
    HRESULT SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) override;
    BOOL HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

    // Splits the text at ",", skips empty pieces and reads each other piece
    // as a decimal number (held within BK_MAX_OFFSET); at most
    // BK_MAX_CLIP_PARAMS values, the rest of the array is 0. Answers how
    // many were read.
    static int ParseClipParams(const std::wstring& strText, int (&values)[BK_MAX_CLIP_PARAMS]);

    int GetSub() const { return m_nSub; }
    const std::string& GetSkinName() const { return m_strSkin; }
    const std::string& GetGroup() const { return m_strGroup; }
    int GetClipType() const { return m_nClipType; }
    int GetAlpha() const { return m_nAlpha; }

protected:
    void OnImagePaint(HDC hdc);
    LRESULT OnImageNcCalcSize(BOOL bCalcValidRects, SIZE* pSize);
    void DrawClipped(HDC hdc, CBkSkinBase* pSkin);

    int m_nSub;
    std::string m_strSkin;
    std::string m_strIco;
    std::wstring m_strCaption;
    int m_nCaptionTop;
    int m_nIcoTop;
    std::string m_strGroup;
    std::string m_strMask;
    int m_nClipType;
    int m_nAlpha;
    std::wstring m_strClipParam;
};

// The same control under the name the header layouts use.
class CBKImageWndHeader : public CBkImageWnd {
    BK_DECLARE_ELEMENT_NAME("img_h")
};

class CBkImageBtnWnd : public CBkImageWnd {
    BK_DECLARE_ELEMENT_NAME("imgbtn")

public:
    BOOL NeedsRedrawOnStateChange() override { return TRUE; }
    BOOL HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

    // The sub-image of the main skin for the present state and group.
    DWORD GetSkinIndex() const;

protected:
    void OnButtonPaint(HDC hdc);
    void DrawCaption(HDC hdc);
};

// Image controls whose size comes from their own cx/cy attributes rather
// than from the layout.
class CBkFixedSizeImage : public CBkWindow {
protected:
    BOOL OnFixedNcCalcSize(WPARAM wParam, LPARAM lParam, LRESULT& lResult);

    int m_nCx = 0;
    int m_nCy = 0;
};

class CBkImageBg : public CBkFixedSizeImage {
    BK_DECLARE_ELEMENT_NAME("imgbg")

public:
    HRESULT SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) override;
    BOOL HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

protected:
    std::string m_strSkin;
    int m_nFill = 0;
};

class CBkImageScroll : public CBkFixedSizeImage {
    BK_DECLARE_ELEMENT_NAME("scrollimg")

public:
    HRESULT SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) override;
    BOOL HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

    // The part of the image shown for a control of the given size in an
    // image of height cyImage.
    RECT SourceRect(int nWidth, int nHeight, int cyImage) const;

protected:
    std::string m_strSkin;
    int m_nHScroll = 0;
    int m_nVScroll = 0;
    int m_nHPos = 0;
    int m_nVPos = 0;
};
