#pragma once
// System functions that not every Windows (or Wine) build exports, bound at
// run time. Each entry is null when its library or export is missing, so every
// caller checks before calling and falls back to a plainer way.
#include <windows.h>
#include <commctrl.h>
#include <uxtheme.h>
#include <wtsapi32.h>

namespace platform {

struct SystemApi {
    // comctl32.dll (version 6)
    using DrawShadowTextFn = int(WINAPI*)(HDC, LPCWSTR, UINT, RECT*, DWORD, COLORREF, COLORREF, int, int);
    using TrackMouseEventFn = BOOL(WINAPI*)(LPTRACKMOUSEEVENT);
    // msimg32.dll
    using GradientFillFn = BOOL(WINAPI*)(HDC, PTRIVERTEX, ULONG, PVOID, ULONG, ULONG);
    // uxtheme.dll
    using SetWindowThemeFn = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
    using OpenThemeDataFn = HTHEME(WINAPI*)(HWND, LPCWSTR);
    using CloseThemeDataFn = HRESULT(WINAPI*)(HTHEME);
    using DrawThemeBackgroundFn = HRESULT(WINAPI*)(HTHEME, HDC, int, int, const RECT*, const RECT*);
    // wtsapi32.dll
    using WTSEnumerateSessionsWFn = BOOL(WINAPI*)(HANDLE, DWORD, DWORD, PWTS_SESSION_INFOW*, DWORD*);
    using WTSFreeMemoryFn = void(WINAPI*)(PVOID);
    using WTSQueryUserTokenFn = BOOL(WINAPI*)(ULONG, PHANDLE);
    // userenv.dll
    using CreateEnvironmentBlockFn = BOOL(WINAPI*)(LPVOID*, HANDLE, BOOL);
    using DestroyEnvironmentBlockFn = BOOL(WINAPI*)(LPVOID);

    DrawShadowTextFn DrawShadowText = nullptr;
    TrackMouseEventFn TrackMouseEvent = nullptr;
    GradientFillFn GradientFill = nullptr;
    SetWindowThemeFn SetWindowTheme = nullptr;
    OpenThemeDataFn OpenThemeData = nullptr;
    CloseThemeDataFn CloseThemeData = nullptr;
    DrawThemeBackgroundFn DrawThemeBackground = nullptr;
    WTSEnumerateSessionsWFn WTSEnumerateSessionsW = nullptr;
    WTSFreeMemoryFn WTSFreeMemory = nullptr;
    WTSQueryUserTokenFn WTSQueryUserToken = nullptr;
    CreateEnvironmentBlockFn CreateEnvironmentBlock = nullptr;
    DestroyEnvironmentBlockFn DestroyEnvironmentBlock = nullptr;
};

// The table, bound on first use (safe from any thread). The libraries stay
// loaded until the process ends, so the pointers never dangle.
const SystemApi& GetSystemApi();

} // namespace platform
