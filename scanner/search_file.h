#pragma once
// The interface of the scanner library "searchfile.dll", shared by the library
// and its callers. The order of the operations is fixed: callers reach them by
// their slot in the table, not by name.
#include <windows.h>
#include <unknwn.h>

#include <cstddef>
#include <cstdint>

#include "index/index_record.h"

// {34479521-1C05-4199-A5CE-C0D2291FC7F3}
constexpr GUID IID_ISearchFile = {0x34479521, 0x1C05, 0x4199, {0xA5, 0xCE, 0xC0, 0xD2, 0x29, 0x1F, 0xC7, 0xF3}};

// Every name pool of an answer is this large.
constexpr size_t kScanPoolSize = 0x400000;

// A growable array as the answer lays it out: four pointer-sized words.
template <typename T>
struct ScanArray {
    uintptr_t Unused;
    T* First;  // first element
    T* Last;   // one past the last element
    T* End;    // one past the allocated storage
    size_t Count() const { return First && Last > First ? static_cast<size_t>(Last - First) : 0; }
};

// The answer of ScanVolume, owned by the interface until it is released.
struct ScanVolumeResult {
    ScanArray<IndexRecord> Records;  // indexed by slot
    ScanArray<char*> Pools;          // each kScanPoolSize bytes of NUL-terminated ANSI names
};

static_assert(sizeof(ScanArray<IndexRecord>) == 4 * sizeof(void*), "answer array layout");
static_assert(offsetof(ScanArray<IndexRecord>, First) == sizeof(void*), "answer array layout");
static_assert(offsetof(ScanArray<IndexRecord>, Last) == 2 * sizeof(void*), "answer array layout");
static_assert(offsetof(ScanArray<IndexRecord>, End) == 3 * sizeof(void*), "answer array layout");
static_assert(offsetof(ScanVolumeResult, Pools) == 4 * sizeof(void*), "answer layout");
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(ScanVolumeResult) == 32, "answer layout, 32-bit");
#else
static_assert(sizeof(ScanVolumeResult) == 64, "answer layout, 64-bit");
#endif

// FileName of a record in the answer. In 32-bit builds it is the name's
// address, as callers of the library expect. A 64-bit address does not fit the
// 4-byte field, so 64-bit builds store the name's place in the pools instead:
// pool * kScanPoolSize + offset + 1. In both, 0 means "no name".
inline uint32_t ScanNameField(const char* address, size_t pool, size_t offset) {
#if UINTPTR_MAX == 0xFFFFFFFFu
    (void)pool;
    (void)offset;
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(address));
#else
    (void)address;
    return static_cast<uint32_t>(pool * kScanPoolSize + offset + 1);
#endif
}

struct ISearchFile : public IUnknown {
    // Slots 3 to 18: operations of the library that this program never calls.
    virtual HRESULT STDMETHODCALLTYPE Reserved3() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved4() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved5() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved6() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved7() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved8() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved9() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved10() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved11() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved12() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved13() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved14() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved15() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved16() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved17() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved18() = 0;
    // Slot 19: amount recovered so far by this interface, in 512-byte units.
    virtual DWORD STDMETHODCALLTYPE GetRecoveredSectors() = 0;
    // Slots 20 to 23: not called.
    virtual HRESULT STDMETHODCALLTYPE Reserved20() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved21() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved22() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved23() = 0;
    // Slot 24: reads the volume with the ANSI root "X:\"; stores the answer
    // (or leaves *result null). The answer stays valid until Release.
    virtual HRESULT STDMETHODCALLTYPE ScanVolume(const char* root, ScanVolumeResult** result) = 0;
    // Slot 25: recovers one deleted file into `targetFolder` (ending in a
    // backslash); 0 when recovered.
    virtual HRESULT STDMETHODCALLTYPE RecoverFile(const char* fullPath, char* targetFolder, DWORD hint) = 0;
};

// Slots of the operations callers reach, for tests of the table's order.
enum : int {
    kSearchFileSlotGetRecoveredSectors = 19,
    kSearchFileSlotScanVolume = 24,
    kSearchFileSlotRecoverFile = 25,
};

// The library's export.
using DllGetClassObjectProc = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
