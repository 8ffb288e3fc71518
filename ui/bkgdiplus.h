#pragma once
// Text and fill through GDI+ for styles that ask for it ("gdiplus",
// "gdipluscalctxt", "bggdiplus"). GDI+ must have been started by the program;
// every routine answers false when GDI+ refuses, so callers can fall back to
// GDI.
#include <string>
#include <windows.h>

// Fills the rectangle with a solid colour of the given opacity (0-255).
bool BkGdipFillRect(HDC hdc, const RECT& rc, COLORREF color, int alpha);

// Draws the text in the box with the DC's current font and text colour at the
// given opacity. Of the DrawText format only DT_CENTER, DT_VCENTER and the
// three ellipsis flags are carried over; hint is a GDI+ text-rendering hint.
bool BkGdipDrawText(HDC hdc, const std::wstring& text, const RECT& box, UINT format, int alpha, int hint);

// Measures the text with the DC's current font inside a layout box of the
// given size; the fractional size is rounded up to whole pixels.
bool BkGdipMeasureText(HDC hdc, const std::wstring& text, int layoutWidth, int layoutHeight, SIZE* size);
