#pragma once
// Pools of decoded images by resource id, each decoded once on first use and
// kept until the process ends; callers never free pool items. UI thread only.
//   BkPngPool: "png" resources as GDI+ images.
//   BkJpgPool: "jpg" resources as GDI+ images.
//   BkSkinPool: images of the "skinpng"/"skinjpg" skins as 32-bit bitmaps,
//               from a file when one is named and exists, else by resource id.
// An id found in no source gives an image that failed to decode; it is kept
// like any other, so the sources are not searched again on every draw.
#include <memory>
#include <string>
#include <unordered_map>
#include <windows.h>

#include "ui/bkbitmap.h"

class BkImagePool {
public:
    // The image of the id, decoded on first request; null only when no
    // stream could be made for it.
    Gdiplus::Image* GetImage(UINT uResId);

protected:
    explicit BkImagePool(LPCWSTR lpszType) : m_lpszType(lpszType) {}
    ~BkImagePool();
    BkImagePool(const BkImagePool&) = delete;
    BkImagePool& operator=(const BkImagePool&) = delete;

private:
    // GDI+ is started before any image is made, and its member outlives the
    // images, which the destructor's body deletes. The JPG pool starts it
    // too, so a JPG decoded before the program starts GDI+ does not run into
    // an uninitialised library.
    BkGdiplusSession m_gdiplus;
    LPCWSTR m_lpszType;
    std::unordered_map<UINT, Gdiplus::Image*> m_images;
};

class BkPngPool : public BkImagePool {
public:
    static BkPngPool& Instance();
    static Gdiplus::Image* Get(UINT uResId) { return Instance().GetImage(uResId); }

private:
    BkPngPool() : BkImagePool(L"png") {}
    ~BkPngPool() = default;
};

class BkJpgPool : public BkImagePool {
public:
    static BkJpgPool& Instance();
    static Gdiplus::Image* Get(UINT uResId) { return Instance().GetImage(uResId); }

private:
    BkJpgPool() : BkImagePool(L"jpg") {}
    ~BkJpgPool() = default;
};

class BkSkinPool {
public:
    static BkSkinPool& Instance();

    // Makes bmpOut a copy of the bitmap of the id. On the first request the
    // image is decoded from "<base folder><file>" when that file exists,
    // else from the resource of the id and type ("png" or "jpg"), and drawn
    // 1:1 into a bitmap that the pool keeps under the id. A failed decode is
    // not kept. FALSE when bmpOut ends up without a bitmap.
    BOOL Load(UINT uResId, const std::string& strFile, CBkBitmap& bmpOut, LPCWSTR lpszType);

    // The folder put in front of file names; empty (the default) leaves them
    // to resolve as the process resolves relative paths.
    void SetBaseFolder(const std::wstring& strFolder) { m_strBaseFolder = strFolder; }
    const std::wstring& GetBaseFolder() const { return m_strBaseFolder; }

private:
    BkSkinPool() = default;
    ~BkSkinPool() = default;
    BkSkinPool(const BkSkinPool&) = delete;
    BkSkinPool& operator=(const BkSkinPool&) = delete;

    // Started for the decoding; the pooled bitmaps are plain GDI bitmaps.
    BkGdiplusSession m_gdiplus;
    std::wstring m_strBaseFolder;
    std::unordered_map<UINT, std::unique_ptr<CBkBitmap>> m_bitmaps;
};
