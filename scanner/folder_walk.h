#pragma once
// Reading a volume by walking its folders with the file-system API: the way
// that works on every file system and without raw volume access.
#include "scanner/scan_answer.h"

namespace scanner {

// Gives the root slot 5 and every file and folder below it a slot from 50 up,
// breadth first, each folder's entries in name order, so an unchanged tree
// gets the same slots every time. Names in the system ANSI code page; Time2 is
// the local modification time. Linked folders (reparse points) are listed but
// not entered. False when the root cannot be read.
bool ReadVolumeByFolderWalk(const char* root, ScanAnswer& answer);

} // namespace scanner
