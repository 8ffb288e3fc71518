#pragma once
// Byte-level name tests for names whose bytes are all below 0x80: such names
// convert to the same UTF-16 units in every system code page, so an ASCII
// pattern can be matched on the bytes without a conversion.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace namescan {

// True when the system code page maps bytes 1-0x7F to the same code units
// (checked once); every byte shortcut depends on it.
bool AsciiIsIdentity();

// True when the system code page turns every valid sequence of one or two
// bytes into one UTF-16 unit of its own, no two sequences into the same unit
// (checked once, on first use). Then a converted name holds a text exactly
// when its bytes hold the text's bytes -- unless the text has a unit that
// invalid bytes also turn into: IsInvalidByteUnit.
bool DecodesUniquely();
bool IsInvalidByteUnit(wchar_t unit);

// Where DecodesUniquely holds: searches the text whose code-page bytes are
// `pattern` (m >= 1 bytes that convert back to the text exactly, with the
// single-byte letters A-Z folded to lower case) in the name's units, folding
// A-Z of single-byte units only -- the answer the converted name gives,
// without converting. 1: found; 0: not found; -1: the name holds a sequence
// that does not decode validly before any match (the caller converts).
int FindUnits(const char* name, const char* pattern, size_t m);

// Searches the ASCII-folded (lower-case) pattern of m >= 1 bytes (none of
// them '?') in the name's bytes, folding A-Z. 1: found before any byte
// >= 0x80, so the converted name holds it too; 0: not found, so the converted
// name cannot hold it either (its ASCII units come from ASCII bytes in the
// same order, runs never joined); -1: found after a byte >= 0x80, where a
// double-byte character may have taken the byte: the caller converts.
int FindFoldedAscii(const char* name, const char* folded, size_t m);

// True when every byte of the name is below 0x80.
bool IsAsciiName(const char* name);
// Like IsAsciiName, and stores the length when it answers true.
bool AsciiLength(const char* name, size_t* length);

// Anchored wildcard match of a folded ASCII pattern against an ASCII name.
bool WildcardMatchBytes(const char* folded, size_t m, const char* name, size_t length);

// Scans names laid out one after another, each ended by a NUL, from `begin`
// (the start of a name) up to `end` (the NUL of the last name), the way a
// text search scans a file. For every name that holds the folded ASCII text
// of m >= 1 bytes (none of them NUL) -- or with m == 0 a byte >= 0x80 --
// appends the offset of the name's start from `begin`, with
// kHitAfterHighByte set when a byte >= 0x80 comes before the name's first
// occurrence. The stretch must be shorter than 2 GB.
constexpr uint32_t kHitAfterHighByte = 0x80000000u;
void FindInNames(const char* begin, const char* end, const char* folded, size_t m, std::vector<uint32_t>& hits);

} // namespace namescan
