#pragma once
// Sort keys that order ANSI texts as lstrcmpiA does, made without a system
// call per text. The system's key (LCMapStringA with LCMAP_SORTKEY |
// NORM_IGNORECASE) of a text made only of "plain" characters is the run of
// their primary weights, four section marks, then one entry per punctuation
// mark that word sorting sets aside ('-', '\'', control characters): where it
// stands among the primary weights, and its weight. Each plain
// character's weights are read once from the system; a text holding any other
// character (accents, widths, kana, surrogates...) is keyed by the system.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CSearchWorkers;

class CCollationKeys {
public:
    // The table of the thread locale, built on first use with the workers'
    // help; null when the locale's keys do not have the shape described above
    // (then every key comes from the system).
    static const CCollationKeys* Get(CSearchWorkers& workers);

    // Appends the key of text[0, length) to `out` and answers true, or
    // answers false (out unchanged) when the text holds a character that is
    // not plain. `wide` is the caller's scratch.
    bool AppendKey(const char* text, size_t length, std::string& out, std::vector<wchar_t>& wide) const;

    // The system's key, appended to `out`.
    static void AppendSystemKey(LCID locale, const char* text, size_t length, std::string& out);

    LCID Locale() const { return locale_; }

private:
    CCollationKeys() = default;
    bool Build(CSearchWorkers& workers);
    bool SelfTest() const;
    static void FillUnits(void* context, unsigned share);

    // Per UTF-16 unit: kind in the top byte, weight bytes below.
    enum : uint32_t { kNotPlain = 0, kPrimary2 = 1, kPrimary3 = 2, kSetAside = 3 };
    std::vector<uint32_t> units_;
    LCID locale_ = 0;
    UINT codePage_ = CP_ACP;
    bool asciiIdentity_ = false;
    bool positionByBytes_ = true;
    unsigned shares_ = 1;
};

// Counts the sorts in which lstrcmpiA disagreed with the order of the keys
// (the sort then checked or compared with lstrcmpiA itself): a diagnostic.
extern volatile LONG g_SortKeyDisagreements;
