#pragma once
// Base64 encoding (RFC 4648 standard alphabet, "=" fill, no line breaks).
#include <cstddef>
#include <string>

// Characters the encoding of `count` bytes takes, without a terminator;
// 0 when the count is too large to be encoded at all.
size_t Base64EncodedLength(size_t count);

// Encodes `count` bytes into `target` (room for `targetSize` characters).
// Fails when source or target is missing or the target is smaller than the
// encoded length; writes a terminating NUL when there is room for it.
bool Base64Encode(const void* source, size_t count, char* target, size_t targetSize);

// The encoding of a narrow text; empty when encoding failed.
std::string Base64EncodeString(const std::string& text);
