#pragma once
// The saved index of one drive: "index_%c" holds its 45-byte records (FileName
// as an offset into the name file, 0xFFFFFFFF for none), "name_%c" the
// scanner's 4 MB name pools one after the other. A scan writes "indexnew_%c"
// and "namenew_%c" and moves them over the old pair.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

struct ScanVolumeResult;

constexpr uint32_t kNoNameOffset = 0xFFFFFFFFu;

// Offset in the name file of the name at `address` in one of the pools, or
// kNoNameOffset when the address is null or in none of them.
uint32_t FindPoolOffset(uintptr_t address, char* const* pools, size_t poolCount);
// Name-file offset of a FileName field of the scanner's answer.
uint32_t ScanNameToFileOffset(uint32_t field, char* const* pools, size_t poolCount);

// Writes the answer as "indexnew_%c"/"namenew_%c" in `folder` (empty: the
// current directory) and moves them over "index_%c"/"name_%c". FileName
// fields of the answer are rewritten to file offsets in place. On any failure
// the temporary files are removed and the old pair stays; false then. An
// answer without records writes nothing and answers false.
bool WriteScanResult(const std::wstring& folder, wchar_t letter, ScanVolumeResult& answer);

// "<folder>\<pattern with the letter>", or the bare name for an empty folder.
std::wstring IndexFileName(const std::wstring& folder, const wchar_t* pattern, wchar_t letter);
