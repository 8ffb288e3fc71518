// Query-only journal access, so the scan can list drives before the monitor
// with its journal creation and re-creation is built in; the monitor's own
// QueryUsnJournal takes the place of this file.
#include "index/index_manager.h"

#include "platform/trace.h"

BOOL CIndexManager::QueryUsnJournal(USN_JOURNAL_DATA* data, HANDLE volume) {
    DWORD bytes = 0;
    return ::DeviceIoControl(volume, FSCTL_QUERY_USN_JOURNAL, nullptr, 0, data, sizeof(*data), &bytes, nullptr);
}
