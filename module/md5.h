#pragma once
// MD5 message digest (RFC 1321). Digests are shown and compared as 32
// lower-case hexadecimal digits.
#include <cstddef>
#include <cstdint>
#include <string>

class CMd5 {
public:
    CMd5() { Init(); }

    void Init();
    void Update(const void* bytes, size_t count);
    // Writes the 16-byte digest and clears the context (Init before reuse).
    void Final(unsigned char digest[16]);

private:
    void Transform(const unsigned char block[64]);
    static void Encode(unsigned char* out, const uint32_t* in, size_t count);

    uint32_t state_[4];
    uint32_t count_[2];  // bit count, low word first
    unsigned char buffer_[64];
};

void Md5Buffer(unsigned char digest[16], const void* bytes, size_t count);
// "%02x" per byte, in digest order.
std::string Md5ToHex(const unsigned char digest[16]);
std::string Md5HexOfBuffer(const void* bytes, size_t count);
// Digest of a file's bytes, read in 4096-byte blocks; false when the file
// cannot be opened or a read fails.
bool Md5File(const wchar_t* path, unsigned char digest[16]);
