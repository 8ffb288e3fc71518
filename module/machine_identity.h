#pragma once
// The machine's identity in statistics records: a uuid generated once and
// kept in the registry, and the tracking id the companion product writes.
#include <string>

// HKEY_CLASSES_ROOT key holding the "uuid" value.
extern const wchar_t kMachineUuidKey[];

// The stored uuid, or a new one (stored) when it is missing, empty or longer
// than 32 characters.
std::wstring GetMachineUuid();
// HKCU "Software\Welgrin Data Recovery" "tid"; "0" when it cannot be read.
std::wstring ReadTrackingId();
// A new uuid (32 lower-case hexadecimal digits), stored when possible.
std::wstring GenerateMachineUuid();
// True when the key cannot be opened or "uuid" is missing or empty.
bool IsMachineUuidMissing();
// The stored value as it is; empty when unreadable.
std::wstring ReadMachineUuid();
