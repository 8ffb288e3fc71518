#pragma once
// The saved index of one drive: "index_%c" holds its 45-byte records (FileName
// as an offset into the name file, 0xFFFFFFFF for none), "name_%c" the
// scanner's 4 MB name pools one after the other. A scan writes "indexnew_%c"
// and "namenew_%c" and moves them in place of the old pair.
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

// Makes a scanner's answer ready to be saved or kept: its FileName fields
// become name-file offsets, in place. False (nothing changed) when the answer
// holds no record or is too large for the file format.
bool PrepareScanAnswer(ScanVolumeResult& answer);

// Saves a prepared answer as "index_%c"/"name_%c" in `folder` (empty: the
// current directory). Both are written in full under their temporary names
// first; then the old pair moves aside whole ("indexold_%c", "nameold_%c")
// and the new pair comes in; a move that fails puts everything back, so a
// save either puts the whole new pair in place or leaves the old pair as it
// was. Each move is checked on disk, not only by what the system reports.
// The folder holds, at any moment, the old pair, the new pair, or no usable
// pair (an index file without its name file, or nothing), never the records
// of one scan with the names of another. Left in place and never written
// through: anything at the two final names that is not a writable file of
// ours (a folder, a link, a pipe, a read-only or open file). At the
// temporary and aside names, what is in the way goes where that is safe:
// leftovers of ours, an empty folder, a link as itself; a folder with files,
// a pipe or a device stays (a link to a device looks like the device) and the
// save fails. On failure only the files of this save are removed; false
// then, with the Win32 error in *error.
bool SaveScanAnswer(const std::wstring& folder, wchar_t letter, const ScanVolumeResult& answer, DWORD* error);

// PrepareScanAnswer, then SaveScanAnswer.
bool WriteScanResult(const std::wstring& folder, wchar_t letter, ScanVolumeResult& answer, DWORD* error = nullptr);

// "<folder>\<pattern with the letter>", or the bare name for an empty folder.
std::wstring IndexFileName(const std::wstring& folder, const wchar_t* pattern, wchar_t letter);
