#include "ui/bkpngpool.h"

#include "platform/handle.h"
#include "platform/strconv.h"
#include "platform/trace.h"
#include "ui/bkresmanager.h"

// ---------------------------------------------------------------- image pools

BkImagePool::~BkImagePool()
{
    for (auto& entry : m_images)
        delete entry.second;
}

Gdiplus::Image* BkImagePool::GetImage(UINT uResId)
{
    auto it = m_images.find(uResId);
    if (it != m_images.end())
        return it->second;
    std::string bytes;
    BkResManager::LoadResource(uResId, m_lpszType, bytes);   // empty when found nowhere
    Gdiplus::Image* image = BkImageFromBytes(bytes);
    if (image && !BkGetImageSize(image, nullptr, nullptr))
        platform::TraceW(L"Image %u.%ls is missing or does not decode", uResId, m_lpszType);
    m_images.emplace(uResId, image);
    return image;
}

BkPngPool& BkPngPool::Instance()
{
    static BkPngPool pool;
    return pool;
}

BkJpgPool& BkJpgPool::Instance()
{
    static BkJpgPool pool;
    return pool;
}

// ---------------------------------------------------------------- skin pool

BkSkinPool& BkSkinPool::Instance()
{
    static BkSkinPool pool;
    return pool;
}

BOOL BkSkinPool::Load(UINT uResId, const std::string& strFile, CBkBitmap& bmpOut, LPCWSTR lpszType)
{
    auto it = m_bitmaps.find(uResId);
    if (it != m_bitmaps.end())
        return bmpOut.CopyFrom(*it->second);

    std::unique_ptr<Gdiplus::Image> image;
    std::wstring path = m_strBaseFolder + platform::AnsiToWide(strFile);
    DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        // Read through the loader's own reader (size-capped) rather than
        // letting GDI+ hold the file open.
        std::string bytes;
        platform::FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                                FILE_ATTRIBUTE_NORMAL, nullptr));
        LARGE_INTEGER size = {};
        if (file && ::GetFileSizeEx(file.Get(), &size) && size.QuadPart > 0 &&
            size.QuadPart <= BkResManager::kMaxFileSize) {
            bytes.resize(static_cast<size_t>(size.QuadPart));
            DWORD read = 0;
            if (!::ReadFile(file.Get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                read != bytes.size())
                bytes.clear();
        }
        image.reset(BkImageFromBytes(bytes));
    } else {
        std::string bytes;
        BkResManager::LoadResource(uResId, lpszType, bytes);
        image.reset(BkImageFromBytes(bytes));
    }

    int cx = 0, cy = 0;
    if (!BkGetImageSize(image.get(), &cx, &cy)) {
        platform::TraceW(L"Skin image %u (%ls) is missing or does not decode", uResId, path.c_str());
        bmpOut.Reset();
        return FALSE;
    }
    std::unique_ptr<CBkBitmap> pooled(new CBkBitmap);
    if (!pooled->Create(cx, cy) || !pooled->DrawImage(image.get(), 0, 0, cx, cy, 0, 0, cx, cy)) {
        bmpOut.Reset();
        return FALSE;
    }
    BOOL copied = bmpOut.CopyFrom(*pooled);
    m_bitmaps.emplace(uResId, std::move(pooled));
    return copied;
}
