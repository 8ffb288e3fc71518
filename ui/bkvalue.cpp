#include "ui/bkvalue.h"

#include <climits>

namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

DWORD BkParseHex(const std::string& strValue)
{
    DWORD value = 0;
    for (char c : strValue) {
        int digit = HexDigit(c);
        if (digit < 0)
            return 0;
        value = (value << 4) | static_cast<DWORD>(digit);
    }
    return value;
}

COLORREF BkParseColor(const std::string& strValue)
{
    if (strValue.size() < 6)
        return CLR_INVALID;
    int channel[3];
    for (int i = 0; i < 3; ++i) {
        int hi = HexDigit(strValue[i * 2]);
        int lo = HexDigit(strValue[i * 2 + 1]);
        if (hi < 0 || lo < 0)
            return CLR_INVALID;
        channel[i] = hi * 16 + lo;
    }
    return RGB(channel[0], channel[1], channel[2]);
}

int BkParseInt(const std::string& strValue)
{
    size_t i = 0;
    const size_t n = strValue.size();
    while (i < n && (strValue[i] == ' ' || strValue[i] == '\t' || strValue[i] == '\r' ||
                     strValue[i] == '\n' || strValue[i] == '\v' || strValue[i] == '\f'))
        ++i;
    bool negative = false;
    if (i < n && (strValue[i] == '+' || strValue[i] == '-')) {
        negative = strValue[i] == '-';
        ++i;
    }
    // Accumulate as a magnitude in 64 bits and stop growing once past the
    // int range, so absurdly long numbers clamp instead of wrapping.
    long long magnitude = 0;
    const long long limit = static_cast<long long>(INT_MAX) + 1;
    for (; i < n && strValue[i] >= '0' && strValue[i] <= '9'; ++i) {
        if (magnitude <= limit)
            magnitude = magnitude * 10 + (strValue[i] - '0');
    }
    if (negative)
        return magnitude >= limit ? INT_MIN : static_cast<int>(-magnitude);
    return magnitude > INT_MAX ? INT_MAX : static_cast<int>(magnitude);
}

BOOL BkParseId(const std::string& strValue, UINT* pValue)
{
    if (strValue.empty() || !pValue)
        return FALSE;
    unsigned long long value = 0;
    for (char c : strValue) {
        if (c < '0' || c > '9')
            return FALSE;
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > UINT_MAX)
            return FALSE;
    }
    *pValue = static_cast<UINT>(value);
    return TRUE;
}

BOOL BkParseCursor(const std::string& strValue, LPCWSTR* pCursor)
{
    LPCWSTR cursor = nullptr;
    if (strValue == "hand")
        cursor = IDC_HAND;
    else if (strValue == "arrow")
        cursor = IDC_ARROW;
    else if (strValue == "ibeam")
        cursor = IDC_IBEAM;
    else if (strValue == "sizens")
        cursor = IDC_SIZENS;
    if (!cursor || !pCursor)
        return FALSE;
    *pCursor = cursor;
    return TRUE;
}
