#pragma once
// Readers for the attribute values of layouts, styles and skins. Every reader
// stops at the end of the text: a short or empty value never reads beyond it.
#include <string>
#include <windows.h>

// Hexadecimal digits, most significant first, up to the end of the text.
// Any other character anywhere makes the whole value 0 (as does an empty
// text). More than eight digits keep the low 32 bits.
DWORD BkParseHex(const std::string& strValue);

// Six hexadecimal digits RRGGBB (either case) as a Windows colour value
// (red | green << 8 | blue << 16). Text beyond the sixth character is not
// read. Fewer than six characters, or a non-hexadecimal digit among the six,
// give CLR_INVALID ("no colour").
COLORREF BkParseColor(const std::string& strValue);

// Signed decimal prefix as atoi reads it (leading blanks, optional sign);
// 0 when there is none. Values beyond the int range are clamped to it.
int BkParseInt(const std::string& strValue);

// Unsigned decimal made only of digits that fits 32 bits (ids). FALSE for an
// empty text, any other character or an overflow; *pValue is then unchanged.
BOOL BkParseId(const std::string& strValue, UINT* pValue);

// "hand", "arrow", "ibeam", "sizens" to the system cursor id for LoadCursorW.
// FALSE for any other text; *pCursor is then unchanged.
BOOL BkParseCursor(const std::string& strValue, LPCWSTR* pCursor);
