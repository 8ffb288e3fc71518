#include "skin_test_util.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include <gdiplus.h>
#include <objidl.h>


namespace skintest {

bool Near(COLORREF a, COLORREF b, int tolerance) {
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

std::string MakeBmp(int width, int height, int bitsPerPixel, const PixelFn& pixel) {
    const int stride = ((width * bitsPerPixel + 31) / 32) * 4;
    const DWORD offBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER), size = stride * height;
    BITMAPFILEHEADER fh = {0x4D42, offBits + size, 0, 0, offBits};
    BITMAPINFOHEADER ih = {sizeof(ih), width, height, 1, static_cast<WORD>(bitsPerPixel), BI_RGB, size, 0, 0, 0, 0};
    std::string bytes(reinterpret_cast<const char*>(&fh), sizeof(fh));
    bytes.append(reinterpret_cast<const char*>(&ih), sizeof(ih));
    std::vector<unsigned char> row(stride);
    for (int y = height - 1; y >= 0; --y) {   // bottom-up
        std::fill(row.begin(), row.end(), 0);
        for (int x = 0; x < width; ++x) {
            uint32_t v = pixel(x, y);
            std::memcpy(&row[x * (bitsPerPixel / 8)], &v, bitsPerPixel / 8);   // B, G, R (, A)
        }
        bytes.append(reinterpret_cast<const char*>(row.data()), row.size());
    }
    return bytes;
}

namespace {

bool FindEncoder(const wchar_t* mime, CLSID* clsid) {
    UINT count = 0, size = 0;
    if (Gdiplus::DllExports::GdipGetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0) return false;
    std::vector<BYTE> buffer(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::DllExports::GdipGetImageEncoders(count, size, codecs) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i)
        if (codecs[i].MimeType && std::wcscmp(codecs[i].MimeType, mime) == 0) return *clsid = codecs[i].Clsid, true;
    return false;
}

} // namespace

std::string EncodeImage(int width, int height, const PixelFn& pixel, const wchar_t* format) {
    CLSID clsid;
    if (!FindEncoder(std::wcscmp(format, L"png") == 0 ? L"image/png" : L"image/jpeg", &clsid)) return std::string();
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) pixels[static_cast<size_t>(y) * width + x] = pixel(x, y);
    Gdiplus::GpBitmap* bitmap = nullptr;
    if (Gdiplus::DllExports::GdipCreateBitmapFromScan0(width, height, width * 4, PixelFormat32bppARGB,
                                                      reinterpret_cast<BYTE*>(pixels.data()), &bitmap) != Gdiplus::Ok)
        return std::string();
    IStream* stream = nullptr;
    std::string bytes;
    if (SUCCEEDED(::CreateStreamOnHGlobal(nullptr, TRUE, &stream))) {
        HGLOBAL global = nullptr;
        if (Gdiplus::DllExports::GdipSaveImageToStream(bitmap, stream, &clsid, nullptr) == Gdiplus::Ok &&
            SUCCEEDED(::GetHGlobalFromStream(stream, &global))) {
            STATSTG stat = {};
            stream->Stat(&stat, STATFLAG_NONAME);
            if (const void* data = ::GlobalLock(global))
                bytes.assign(static_cast<const char*>(data), static_cast<size_t>(stat.cbSize.QuadPart));
            ::GlobalUnlock(global);
        }
        stream->Release();
    }
    Gdiplus::DllExports::GdipDisposeImage(bitmap);
    return bytes;
}

} // namespace skintest
