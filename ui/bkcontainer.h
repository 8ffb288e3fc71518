#pragma once
// Containers of windowless controls: they own their children, create them
// from XML by element name, place them by their "pos" and pass drawing, hit
// tests, mouse moves and visibility down the tree. "dlg" is the element of
// the plain container.
#include <memory>
#include <vector>

#include "ui/bkwnd.h"

class CBkContainerWnd : public CBkWindow {
public:
    CBkContainerWnd();
    ~CBkContainerWnd() override;

    // CBkObject
    BOOL Load(const TiXmlElement* pXmlElem) override;
    HRESULT SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) override;

    // CBkWindow
    void Broadcast(DWORD dwArg1, DWORD dwArg2, DWORD dwArg3) override;
    void SetContainer(HWND hWndContainer) override;
    HBKWND HitTest(int x, int y, BOOL bCheck) override;
    BOOL IsContainer() override;
    BOOL RedrawRegion(HDC& hdc, HRGN hRgn) override;
    BOOL HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

    // A direct child with the id first, then the containers below in list
    // order; null when no control has it.
    virtual CBkWindow* FindChildByCmdID(UINT uCmdID);
    virtual void RepositionChilds();
    // Places the child inside this container's rectangle less the style's
    // margins, from the child's position.
    virtual void RepositionChild(CBkWindow* pChild);
    // Drops the present children and creates one per element from pFirst on
    // (elements of unknown names are skipped with their subtree).
    virtual BOOL LoadChilds(const TiXmlElement* pFirst);

    // Pages of a tab control, so that real windows can follow the selected
    // page; a plain container has none.
    virtual int GetPageCount() const;
    virtual CBkContainerWnd* GetPage(int nIndex) const;
    virtual int GetCurSelPage() const;

    // Shows or hides the real child windows ("realwnd") below the container:
    // shown only when show is set and the container, its ancestors and the
    // control itself are visible; in a tab control only the selected page's.
    static void ShowRealWindows(CBkContainerWnd* pContainer, BOOL bShow);

    size_t GetChildCount() const { return m_lstChildren.size(); }
    CBkWindow* GetChild(size_t nIndex) const { return nIndex < m_lstChildren.size() ? m_lstChildren[nIndex].get() : nullptr; }
    int GetOnlyDrawChild() const { return m_nOnlyDrawChild; }

protected:
    // WM_DESTROY then delete, for every child in list order.
    void DestroyChilds();

    std::vector<std::unique_ptr<CBkWindow>> m_lstChildren;
    int m_nOnlyDrawChild;
};

class CBkPanel : public CBkContainerWnd {
public:
    CBkPanel() = default;
};

class CBkDialog : public CBkPanel {
    BK_DECLARE_ELEMENT_NAME("dlg")

public:
    CBkDialog() = default;

    // A new control for the element name (exact, case-sensitive), or null
    // when the framework has no such element.
    static CBkWindow* CreateChildByName(LPCSTR lpszName);
};
