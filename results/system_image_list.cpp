#include "results/system_image_list.h"

#include <shellapi.h>

#include "platform/trace.h"

namespace {

// UI thread only, like the windows that hold the lists.
int g_instances = 0;
int g_creations = 0;
HIMAGELIST g_small = nullptr;
HIMAGELIST g_large = nullptr;

} // namespace

CSystemImageList::CSystemImageList() {
    if (g_instances == 0) {
        if (!g_small) CreateImageList(&g_small, true);
        if (!g_large) CreateImageList(&g_large, false);
    }
    ++g_instances;
}

CSystemImageList::~CSystemImageList() {
    if (--g_instances == 0) {
        // Forget the handles with the last holder; the system keeps the lists.
        g_small = nullptr;
        g_large = nullptr;
    }
}

HIMAGELIST CSystemImageList::SmallList() { return g_small; }
HIMAGELIST CSystemImageList::LargeList() { return g_large; }
int CSystemImageList::CreationCount() { return g_creations; }

bool CSystemImageList::CreateImageList(HIMAGELIST* slot, bool small) {
    ++g_creations;
    SHFILEINFOW info = {};
    UINT flags = SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES | (small ? SHGFI_SMALLICON : 0);
    *slot = reinterpret_cast<HIMAGELIST>(
        ::SHGetFileInfoW(L".txt", FILE_ATTRIBUTE_NORMAL, &info, sizeof(info), flags));
    if (!*slot) {
        platform::Trace("no system %s image list", small ? "small" : "large");
        return false;
    }
    // Icons draw transparently over any background.
    ImageList_SetBkColor(*slot, CLR_NONE);
    return true;
}
