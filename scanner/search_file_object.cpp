#include "scanner/search_file_object.h"

#include "scanner/folder_walk.h"
#include "platform/trace.h"

namespace scanner {
namespace {

// Ways of reading a volume, best first. The folder walk works everywhere and
// stays last as the fallback.
const VolumeReader kReaders[] = {
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
    return static_cast<DWORD>(recoveredSectors_);
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
    (void)fullPath;
    (void)targetFolder;
    (void)hint;
    return E_NOTIMPL;  // recovery needs the raw table reader
}

} // namespace scanner
