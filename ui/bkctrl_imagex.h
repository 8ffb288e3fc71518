#pragma once
// Image controls beyond the plain "img": an image the owner holds in memory,
// an image file, two skins by state, a grey, a semi-transparent and a rotated
// skin, and an icon handle. Skins are looked up by name at each paint; a
// missing skin, image or file draws nothing.
#include <string>

#include "ui/bkwnd.h"

namespace Gdiplus {
class Image;
}

// "memimage": a GDI+ image the owner hands over from code with SetImage and
// keeps alive; stretched to the control. A layout cannot name the image: an
// address written as text ("mempointer") is refused, so layout text never
// turns into a pointer that is drawn from.
class CBkMemoryImage : public CBkWindow {
    BK_DECLARE_ELEMENT_NAME("memimage")

public:
    HRESULT SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) override;
    BOOL HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

    void SetImage(Gdiplus::Image* pImage) { m_pImage = pImage; }
    Gdiplus::Image* GetImage() const { return m_pImage; }

private:
    Gdiplus::Image* m_pImage = nullptr;  // not owned
};

// "storageimage": an image file decoded afresh at each paint, whole or one
// sub-image of "subwidth" pixels.
class CBkStorageImage : public CBkWindow {
    BK_DECLARE_ELEMENT_NAME("storageimage")

public:
    HRESULT SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) override;
    BOOL HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

private:
    void Paint(HDC hdc);

    std::wstring m_strFilePath;
    int m_nSubWidth = 0;
    int m_nSub = 0;
};

// Base of the skin-drawing images: natural size from the named skin.
class CBkSkinImageBase : public CBkWindow {
public:
    BOOL HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

protected:
    virtual void Paint(HDC hdc) = 0;
    // Skin size of m_strSkin, {0, 0} when the skin is missing.
    SIZE SkinSize() const;

    std::string m_strSkin;
};

// "imgbtnsized": "skin" over the whole control and "skinmid" inset by "left"
// on both sides, with sub-image 2 pushed, 1 hovered, else 0.
class CBkImgbtnsized : public CBkSkinImageBase {
    BK_DECLARE_ELEMENT_NAME("imgbtnsized")

public:
    HRESULT SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) override;

protected:
    void Paint(HDC hdc) override;

private:
    std::string m_strSkinMid;
    int m_nLeft = 0;
};

// "imggray": the skin drawn grey ("gray" non-zero) or normally, stretched.
class CBkImgGray : public CBkSkinImageBase {
    BK_DECLARE_ELEMENT_NAME("imggray")

public:
    HRESULT SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) override;

protected:
    void Paint(HDC hdc) override;

private:
    int m_nGray = 0;
};

// "imgex": one sub-image of the skin at a constant opacity.
class CBkImageEx : public CBkSkinImageBase {
    BK_DECLARE_ELEMENT_NAME("imgex")

public:
    HRESULT SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) override;

protected:
    void Paint(HDC hdc) override;

private:
    int m_nAlpha = 255;
    int m_nSub = 0;
};

// "imgrotale": one sub-image of the skin rotated about the control's centre.
// Only skins that draw through GDI+ can be rotated.
class CBkImageRotale : public CBkSkinImageBase {
    BK_DECLARE_ELEMENT_NAME("imgrotale")

public:
    HRESULT SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) override;

protected:
    void Paint(HDC hdc) override;

private:
    int m_nAngle = 0;
    int m_nSub = 0;
};

// "hicon": an icon handle that the owner sets from code (SetIcon), stretched
// to the control; with "autodel" 1 the control destroys the icon when it is
// replaced and at the end. A handle written as text ("handle") is refused:
// layout text must not choose what the control draws or destroys.
class CBkHIcon : public CBkWindow {
    BK_DECLARE_ELEMENT_NAME("hicon")

public:
    ~CBkHIcon() override;
    HRESULT SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) override;
    BOOL HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

    void SetIcon(HICON hIcon);
    HICON GetIcon() const { return m_hIcon; }

private:
    int m_nAutoDel = 0;
    HICON m_hIcon = nullptr;
};
