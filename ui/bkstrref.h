#pragma once
// Expansion of string-table references "%strN%" in a control's inner text.
#include <functional>
#include <string>

// Looks up string N; null when the table has no such id.
using BkStringLookup = std::function<const wchar_t*(int id)>;

// Replaces every "%strN%" with string N (an unknown id gives an empty text).
// A number <= 0 or a reference without its closing "%" ends the expansion and
// leaves the rest of the text as it is. Inserted strings are not expanded
// again, so a string that itself holds "%str" cannot loop.
std::wstring BkExpandStringRefs(std::wstring text, const BkStringLookup& lookup);
