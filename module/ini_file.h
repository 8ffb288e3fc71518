#pragma once
// The updater's own INI reader. Files may be UTF-8 (with its byte-order
// mark), UTF-16LE (with its mark) or ANSI text; section and key names compare
// without regard to case, sections and keys are kept ordered by name.
#include <windows.h>

#include <cstdint>
#include <map>
#include <string>

// Orders names without regard to ASCII case (the names of index files are
// ASCII; other characters compare as they are).
struct IniNameLess {
    bool operator()(const std::wstring& a, const std::wstring& b) const noexcept;
};

class CIniFile {
public:
    using Section = std::map<std::wstring, std::wstring, IniNameLess>;
    using SectionMap = std::map<std::wstring, Section, IniNameLess>;

    // Reads a whole file. Fails for files of 4 GiB or more, for read errors
    // (a short read gives HRESULT_FROM_WIN32(ERROR_HANDLE_EOF)) and when the
    // text does not fit in memory; the document is then empty.
    HRESULT Load(const wchar_t* path);
    // Picks the encoding from the byte-order mark (EF BB BF: UTF-8, FF FE:
    // UTF-16LE, else ANSI) and parses the text, replacing the document.
    HRESULT DecodeText(const void* bytes, size_t count);
    // Parses text; a NUL ends it. Replaces the document.
    void Parse(const wchar_t* text, size_t length);
    void Clear() { sections_.clear(); }

    // "" when the section or key is missing.
    std::wstring GetString(const wchar_t* section, const wchar_t* key) const;
    // Unsigned decimal after leading blanks, digits up to the first
    // non-digit; 0 when missing, UINT32_MAX when larger than that.
    uint32_t GetUInt(const wchar_t* section, const wchar_t* key) const;
    bool HasKey(const wchar_t* section, const wchar_t* key) const;
    bool HasInfoSection() const;

    const SectionMap& Sections() const noexcept { return sections_; }
    const Section* FindSection(const wchar_t* section) const;

    // Sub path of the index this document was read from ("" for a top index).
    const std::wstring& SubPath() const noexcept { return subPath_; }
    void SetSubPath(const std::wstring& subPath) { subPath_ = subPath; }

private:
    SectionMap sections_;
    std::wstring subPath_;
};

// Unsigned decimal of a text as CIniFile::GetUInt reads it.
uint32_t ParseUnsignedDecimal(const std::wstring& text);
