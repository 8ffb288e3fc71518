#pragma once
// The system's small and large file-icon image lists, fetched once while any
// holder lives. The lists belong to the system and are never destroyed here.
#include <windows.h>
#include <commctrl.h>

class CSystemImageList {
public:
    CSystemImageList();
    virtual ~CSystemImageList();
    CSystemImageList(const CSystemImageList&) = delete;
    CSystemImageList& operator=(const CSystemImageList&) = delete;

    // Null until a holder exists (or when the system gave no list).
    static HIMAGELIST SmallList();
    static HIMAGELIST LargeList();
    // How many times the lists were asked from the system (once per list
    // while holders live).
    static int CreationCount();

private:
    // Asks the system for its small or large list and stores it in `slot`.
    static bool CreateImageList(HIMAGELIST* slot, bool small);
};
