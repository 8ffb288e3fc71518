#pragma once
// Web-search addresses built from the query, and opening an address in the
// user's browser.
#include <windows.h>

#include <string>

// Percent-encodes the UTF-8 bytes of the text for a query string: ASCII
// letters and digits stay, white space becomes "+", every other byte
// (including "&", "#", "%", "+" and every non-ASCII byte) becomes "%XX".
std::string UrlFormEncode(const std::wstring& text);

// The web-search address of the query for the category bits of a filter mask
// (SQF_PICTURE ... SQF_ARCHIVE; none: all files). The query always travels
// encoded, so it can never add a parameter of its own.
std::wstring BuildWebSearchUrl(DWORD filterMask, const std::wstring& query);

// The product's web site (item 1018 of the bar).
const wchar_t* ProductWebSite();

// Opens the address in the default browser; when the shell cannot, starts the
// system's own browser with the address as one quoted argument. FALSE only
// when nothing could be started.
BOOL OpenUrl(const std::wstring& url);
