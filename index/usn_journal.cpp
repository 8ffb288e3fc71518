// Change-journal access used by the scan when it lists a drive for the monitor.
#include "index/index_manager.h"

#include "platform/trace.h"

BOOL CIndexManager::QueryUsnJournal(USN_JOURNAL_DATA* data, HANDLE volume) {
    DWORD bytes = 0;
    return ::DeviceIoControl(volume, FSCTL_QUERY_USN_JOURNAL, nullptr, 0, data, sizeof(*data), &bytes, nullptr);
}

bool CIndexManager::OpenVolumeJournal(UsnMonitorEntry& entry) {
    const wchar_t device[] = {L'\\', L'\\', L'.', L'\\', entry.Letter, L':', 0};
    platform::FileHandle volume(::CreateFileW(device, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                              nullptr, OPEN_EXISTING, 0, nullptr));
    if (!volume) {
        platform::TraceLastError("open volume for the change journal");
        return false;
    }
    USN_JOURNAL_DATA data = {};
    if (!QueryUsnJournal(&data, volume.Get())) {
        platform::TraceLastError("QueryUsnJournal");
        return false;
    }
    entry.NextUsn = data.NextUsn;
    entry.UsnJournalID = data.UsnJournalID;
    entry.Volume = std::move(volume);
    return true;
}
