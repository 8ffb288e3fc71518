#include "module/base64.h"

#include <cstdint>
#include <new>

namespace {
const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
} // namespace

size_t Base64EncodedLength(size_t count) {
    const size_t groups = count / 3 + (count % 3 ? 1 : 0);
    if (groups > SIZE_MAX / 4) return 0;
    return groups * 4;
}

bool Base64Encode(const void* source, size_t count, char* target, size_t targetSize) {
    if (!source || !target) return false;
    const size_t needed = Base64EncodedLength(count);
    if (count != 0 && needed == 0) return false;
    if (targetSize < needed) return false;

    const unsigned char* in = static_cast<const unsigned char*>(source);
    char* out = target;
    size_t i = 0;
    for (; i + 2 < count; i += 3) {
        const uint32_t v = (static_cast<uint32_t>(in[i]) << 16) | (static_cast<uint32_t>(in[i + 1]) << 8) | in[i + 2];
        *out++ = kAlphabet[(v >> 18) & 0x3f];
        *out++ = kAlphabet[(v >> 12) & 0x3f];
        *out++ = kAlphabet[(v >> 6) & 0x3f];
        *out++ = kAlphabet[v & 0x3f];
    }
    const size_t rest = count - i;
    if (rest) {
        uint32_t v = static_cast<uint32_t>(in[i]) << 16;
        if (rest == 2) v |= static_cast<uint32_t>(in[i + 1]) << 8;
        *out++ = kAlphabet[(v >> 18) & 0x3f];
        *out++ = kAlphabet[(v >> 12) & 0x3f];
        *out++ = rest == 2 ? kAlphabet[(v >> 6) & 0x3f] : '=';
        *out++ = '=';
    }
    if (needed < targetSize) *out = '\0';
    return true;
}

std::string Base64EncodeString(const std::string& text) {
    const size_t length = Base64EncodedLength(text.size());
    if (length == 0) return std::string();
    try {
        std::string out(length + 1, '\0');
        if (!Base64Encode(text.data(), text.size(), &out[0], out.size())) return std::string();
        out.resize(length);
        return out;
    } catch (const std::bad_alloc&) {
        return std::string();
    }
}
