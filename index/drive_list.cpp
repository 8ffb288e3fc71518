#include "index/drive_list.h"

#include <windows.h>

#include "platform/trace.h"

bool ListIndexableDrives(std::vector<wchar_t>& letters) {
    letters.clear();
    wchar_t buffer[512];
    DWORD length = ::GetLogicalDriveStringsW(ARRAYSIZE(buffer) - 1, buffer);
    if (length == 0 || length >= ARRAYSIZE(buffer) - 1) {
        platform::TraceLastError("GetLogicalDriveStringsW");
        return false;
    }
    buffer[length] = 0;
    for (const wchar_t* root = buffer; *root; root += wcslen(root) + 1) {
        UINT type = ::GetDriveTypeW(root);
        if (type == DRIVE_FIXED || type == DRIVE_REMOVABLE) letters.push_back(root[0]);
    }
    return true;
}
