#pragma once
// A stand-in for Lumsek.dll: its GetClassObject hands out an object that
// records the calls it gets. The test reaches the record through the extra
// export GetFakeModuleState.
#include <windows.h>

#include <string>

struct FakeModuleState {
    unsigned supportedMask = 0x1FF;   // bit i: IsMethodSupported(i) answers S_OK
    HRESULT launchResult = S_OK;
    bool giveObject = true;           // false: GetClassObject answers S_OK with a null object
    int getClassObjectCalls = 0;
    int supportQueries = 0;
    int reportCalls = 0;
    int launchCalls = 0;
    std::wstring lastEvent, lastParams;
    HANDLE updateDone = nullptr;      // set by the background update
    DWORD updateThreadId = 0;
};

using FakeModuleStateFn = FakeModuleState*(WINAPI*)();
