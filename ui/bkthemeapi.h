#pragma once
// The visual-theme entries of uxtheme.dll that the framework uses, through the
// run-time bound system table: each answers E_NOTIMPL (or no theme) when the
// entry is missing, so callers fall back to classic drawing.
#include <windows.h>
#include <uxtheme.h>

class BkThemeApi {
public:
    // Switches the visual theme off for the window (SetWindowTheme with two
    // empty strings), so the system draws no themed frame under the skin.
    static HRESULT ClearWindowTheme(HWND hWnd);

    // Null when themes are off or the entry is missing.
    static HTHEME OpenThemeData(HWND hWnd, LPCWSTR pszClassList);
    static HRESULT CloseThemeData(HTHEME hTheme);
    static HRESULT DrawThemeBackground(HTHEME hTheme, HDC hdc, int iPartId, int iStateId, const RECT* pRect,
                                       const RECT* pClipRect);
};
