#include "ui/bkbmppool.h"

#include <cstring>
#include <string>

#include "platform/trace.h"
#include "ui/bkresmanager.h"

namespace {

// Whether the bytes of a .bmp file describe a bitmap of sane size whose
// pixels lie inside the file, so that a corrupt or hostile file never gets
// as far as the system loader.
bool IsPlausibleBmpFile(const std::string& bytes)
{
    BITMAPFILEHEADER fh;
    BITMAPINFOHEADER ih;
    if (bytes.size() < sizeof(fh) + sizeof(DWORD))
        return false;
    std::memcpy(&fh, bytes.data(), sizeof(fh));
    if (fh.bfType != 0x4D42)   // "BM"
        return false;
    DWORD headerSize = 0;
    std::memcpy(&headerSize, bytes.data() + sizeof(fh), sizeof(headerSize));
    if (headerSize == sizeof(BITMAPCOREHEADER))
        return fh.bfOffBits < bytes.size();   // old format: 16-bit sizes, always small
    if (headerSize < sizeof(ih) || bytes.size() < sizeof(fh) + sizeof(ih))
        return false;
    std::memcpy(&ih, bytes.data() + sizeof(fh), sizeof(ih));
    long long height = ih.biHeight < 0 ? -static_cast<long long>(ih.biHeight) : ih.biHeight;
    if (ih.biWidth <= 0 || height <= 0 || ih.biWidth > BkBmpPool::kMaxSide || height > BkBmpPool::kMaxSide)
        return false;
    if (fh.bfOffBits >= bytes.size())
        return false;
    if (ih.biCompression == BI_RGB || ih.biCompression == BI_BITFIELDS) {
        unsigned long long stride = ((static_cast<unsigned long long>(ih.biWidth) * ih.biBitCount + 31) / 32) * 4;
        if (ih.biBitCount == 0 || stride * height > bytes.size() - fh.bfOffBits)
            return false;
    }
    return true;
}

} // namespace

BkBmpPool& BkBmpPool::Instance()
{
    static BkBmpPool pool;
    return pool;
}

BkBmpPool::~BkBmpPool()
{
    for (auto& entry : m_bitmaps)
        ::DeleteObject(entry.second);
}

HBITMAP BkBmpPool::GetBitmap(UINT uResId)
{
    BkBmpPool& pool = Instance();
    auto it = pool.m_bitmaps.find(uResId);
    if (it != pool.m_bitmaps.end())
        return it->second;
    HBITMAP bitmap = Load(uResId);
    if (bitmap)
        pool.m_bitmaps.emplace(uResId, bitmap);
    return bitmap;
}

HBITMAP BkBmpPool::Load(UINT uResId)
{
    // Loaded as DIB sections so that a bitmap keeps its own bit depth: the
    // per-pixel alpha skins read 32-bit pixels in place and must tell a
    // 24-bit bitmap from one with alpha, whatever the screen's depth.
    if (uResId <= 0xFFFF) {
        HANDLE image = ::LoadImageW(BkResManager::GetResourceModule(), MAKEINTRESOURCEW(uResId), IMAGE_BITMAP,
                                    0, 0, LR_CREATEDIBSECTION);
        if (image)
            return static_cast<HBITMAP>(image);
    }
    std::wstring path = BkResManager::FilePath(uResId, L"bmp");
    if (path.empty())
        return nullptr;
    std::string bytes;
    if (!BkResManager::LoadFromFile(uResId, L"bmp", bytes))
        return nullptr;
    if (!IsPlausibleBmpFile(bytes)) {
        platform::TraceW(L"Bitmap file %ls is not a usable bitmap, ignored", path.c_str());
        return nullptr;
    }
    HANDLE image = ::LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
    return static_cast<HBITMAP>(image);
}
