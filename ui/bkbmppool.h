#pragma once
// Bitmaps by resource id for the bitmap skins: the program's own BITMAP
// resource first, then "<resource folder>\<id>.bmp". Each bitmap is loaded
// once and kept until the process ends; callers never free it. A failed load
// is not remembered, so a file dropped in later is still found. UI thread only.
#include <unordered_map>
#include <windows.h>

class BkBmpPool {
public:
    // The bitmap of the id, or null when no source holds a usable one.
    static HBITMAP GetBitmap(UINT uResId);

    // Bitmaps wider or higher than this are refused as not being ours.
    static const int kMaxSide = 16384;

private:
    BkBmpPool() = default;
    ~BkBmpPool();
    BkBmpPool(const BkBmpPool&) = delete;
    BkBmpPool& operator=(const BkBmpPool&) = delete;

    static BkBmpPool& Instance();
    static HBITMAP Load(UINT uResId);

    std::unordered_map<UINT, HBITMAP> m_bitmaps;
};
