#include "scanner/search_file_object.h"

#include "scanner/folder_walk.h"
#include "scanner/mft_scan.h"
#include "scanner/recover.h"
#include "platform/trace.h"

namespace scanner {
namespace {

// Ways of reading a volume, best first. The folder walk works everywhere and
// stays last as the fallback.
const VolumeReader kReaders[] = {
    &ReadVolumeByMft,
    &ReadVolumeByFolderWalk,
};

} // namespace

HRESULT STDMETHODCALLTYPE CSearchFile::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_ISearchFile)) return E_NOINTERFACE;
    *out = static_cast<ISearchFile*>(this);
    AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE CSearchFile::AddRef() {
    return static_cast<ULONG>(::InterlockedIncrement(&refs_));
}

ULONG STDMETHODCALLTYPE CSearchFile::Release() {
    LONG left = ::InterlockedDecrement(&refs_);
    if (left == 0) delete this;  // frees the last answer with it
    return static_cast<ULONG>(left);
}

DWORD STDMETHODCALLTYPE CSearchFile::GetRecoveredSectors() {
    return recovered_.Sectors();
}

HRESULT STDMETHODCALLTYPE CSearchFile::ScanVolume(const char* root, ScanVolumeResult** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    answer_.Clear();
    if (!root || !root[0]) return E_INVALIDARG;
    for (VolumeReader read : kReaders) {
        if (read(root, answer_)) {
            *result = answer_.Result();
            return S_OK;
        }
        answer_.Clear();
    }
    platform::Trace("ScanVolume: %s could not be read", root);
    return E_FAIL;
}

HRESULT STDMETHODCALLTYPE CSearchFile::RecoverFile(const char* fullPath, char* targetFolder, DWORD hint) {
    if (!fullPath || !targetFolder) return E_POINTER;
    switch (RecoverToFolder(fullPath, targetFolder, hint, recovered_)) {
    case RecoverStatus::kOk: return S_OK;
    case RecoverStatus::kBadArguments: return E_INVALIDARG;
    case RecoverStatus::kSameVolume: return HRESULT_FROM_WIN32(ERROR_INVALID_DRIVE);
    case RecoverStatus::kVolumeUnreadable: return HRESULT_FROM_WIN32(ERROR_UNRECOGNIZED_VOLUME);
    case RecoverStatus::kRecordMismatch: return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    case RecoverStatus::kUnsupported: return E_NOTIMPL;
    case RecoverStatus::kDataUnreadable: return HRESULT_FROM_WIN32(ERROR_FILE_CORRUPT);
    case RecoverStatus::kTargetFailed: return HRESULT_FROM_WIN32(ERROR_CANNOT_MAKE);
    }
    return E_FAIL;
}

} // namespace scanner
