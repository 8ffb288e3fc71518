#pragma once
// Check box ("check") and radio box ("radio"): the skin's mark (skins
// "cmn_checkbox"/"cmn_checkbox_check", "cmn_radio"/"cmn_radio_check" unless
// the layout names others), else the system's (themed "BUTTON" class, else
// the classic frame control), with the inner text beside it. Radio boxes select within a group of the process-
// wide group map; radios without a group share the group of the empty name.
#include <string>
#include <windows.h>
#include <uxtheme.h>

#include "ui/bkwnd.h"

class CBkSkinBase;

// What the two marks share: the theme handle, the kept attributes and the
// drawing of mark and text.
class CBkMarkBox : public CBkWindow {
public:
    ~CBkMarkBox() override;

    HRESULT SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) override;
    BOOL NeedsRedrawOnStateChange() override { return TRUE; }
    BOOL HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

    // Theme state of the mark (1-8) and classic DrawFrameControl flags.
    int GetThemeState() const;
    UINT GetClassicFlags() const;
    RECT GetMarkRect() const;
    // Image index of the skin's mark: normal, hover, pushed, disabled.
    DWORD GetSkinState() const;
    // The skin for the current check state, when the skin table has it.
    CBkSkinBase* FindMarkSkin() const;
    // Where the text starts: past the skin's mark, or the system mark's offset.
    int GetTextOffset() const;
    HTHEME GetTheme() const { return m_hTheme; }

    int GetCheckAttribute() const { return m_nCheck; }
    const std::string& GetSkinName() const { return m_strSkin; }
    const std::string& GetCheckSkinName() const { return m_strSkinCheck; }

protected:
    // Part id, mark size, text offset and the classic kind of each mark.
    CBkMarkBox(int nPart, int nMarkSize, int nTextOffset, UINT uClassicKind, bool bCentreMark, const char* lpszSkin,
               const char* lpszSkinCheck);
    virtual void OnClick(LPARAM lParam) = 0;
    void OnMarkPaint(HDC hdc);
    bool DrawSkinMark(HDC hdc);

    HTHEME m_hTheme = nullptr;
    int m_nCheck = 0;
    std::string m_strSkin;
    std::string m_strSkinCheck;

private:
    const int m_nPart;
    const int m_nMarkSize;
    const int m_nTextOffset;
    const UINT m_uClassicKind;
    const bool m_bCentreMark;
};

class CBkCheckBox : public CBkMarkBox {
    BK_DECLARE_ELEMENT_NAME("check")

public:
    CBkCheckBox();

protected:
    void OnClick(LPARAM lParam) override;
};

class CBkRadioBox : public CBkMarkBox {
    BK_DECLARE_ELEMENT_NAME("radio")

public:
    CBkRadioBox();
    ~CBkRadioBox() override;

    BOOL Load(const TiXmlElement* pXmlElem) override;
    HRESULT SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) override;
    const std::string& GetGroup() const { return m_strGroup; }

protected:
    void OnClick(LPARAM lParam) override;

    std::string m_strGroup;
};
