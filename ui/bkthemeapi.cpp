#include "ui/bkthemeapi.h"

#include "platform/system_api.h"

HRESULT BkThemeApi::ClearWindowTheme(HWND hWnd) {
    const auto& api = platform::GetSystemApi();
    if (api.SetWindowTheme == nullptr) return E_NOTIMPL;
    return api.SetWindowTheme(hWnd, L"", L"");
}

HTHEME BkThemeApi::OpenThemeData(HWND hWnd, LPCWSTR pszClassList) {
    const auto& api = platform::GetSystemApi();
    if (api.OpenThemeData == nullptr) return nullptr;
    return api.OpenThemeData(hWnd, pszClassList);
}

HRESULT BkThemeApi::CloseThemeData(HTHEME hTheme) {
    const auto& api = platform::GetSystemApi();
    if (api.CloseThemeData == nullptr) return E_NOTIMPL;
    if (hTheme == nullptr) return S_FALSE;
    return api.CloseThemeData(hTheme);
}

HRESULT BkThemeApi::DrawThemeBackground(HTHEME hTheme, HDC hdc, int iPartId, int iStateId, const RECT* pRect,
                                        const RECT* pClipRect) {
    const auto& api = platform::GetSystemApi();
    if (api.DrawThemeBackground == nullptr) return E_NOTIMPL;
    if (hTheme == nullptr) return E_HANDLE;
    return api.DrawThemeBackground(hTheme, hdc, iPartId, iStateId, pRect, pClipRect);
}
