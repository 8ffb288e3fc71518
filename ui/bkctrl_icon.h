#pragma once
// "icon": an icon from the program's resources or, with "oem", a system icon,
// stretched to the control. The control owns the icon it loaded.
#include "ui/bkwnd.h"

class CBkIconWnd : public CBkWindow {
    BK_DECLARE_ELEMENT_NAME("icon")

public:
    CBkIconWnd() = default;
    ~CBkIconWnd() override;

    BOOL Load(const TiXmlElement* pXmlElem) override;
    HRESULT SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) override;
    BOOL HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

    HICON GetIcon() const { return m_hIcon; }

private:
    void LoadIconHandle();
    void FreeIcon();

    int m_nSrc = -1;
    int m_nOem = 0;
    int m_nSize = 16;
    HICON m_hIcon = nullptr;
    BOOL m_bSharedIcon = FALSE;  // system icons belong to the system
    int m_nLoadedSrc = -1;
};
