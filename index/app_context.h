#pragma once
// The record that the windows of the search bar and of the result list share:
// the program folder, the instance handle, the space the recovery needs and
// the engine. One static instance, built on first use.
#include <windows.h>

#include <cstdint>
#include <string>

class CIndexManager;

class CAppContext {
public:
    // The full path of the running program cut before its last backslash (no
    // trailing backslash); computed once and cached.
    const std::wstring& GetModuleDir();

    HINSTANCE Instance = nullptr;
    // Count of 512-byte units the chosen recovery needs (set by the recovery
    // dialog before a drive is chosen).
    uint64_t RecoverySpaceNeed = 0;
    CIndexManager* IndexManager = nullptr;

private:
    std::wstring moduleDir_;
};

CAppContext* GetAppContext();
