#pragma once
// Reading a volume through its master file table: every record slot, deleted
// files included, in one sequential pass over the table.
#include "scanner/mft_reader.h"
#include "scanner/scan_answer.h"
#include "scanner/sector_source.h"

namespace scanner {

// Opens "\\.\X:" for the root "X:\" and fills the answer from its table.
// False when the volume cannot be opened or read raw, is not NTFS, or holds
// nothing but its own metadata; the caller then tries the next reader.
bool ReadVolumeByMft(const char* root, ScanAnswer& answer);

// The same from any sector source (an image file in tests and benchmarks).
bool ReadMftIntoAnswer(SectorSource& source, ScanAnswer& answer, MftScanStats* stats = nullptr);

} // namespace scanner
