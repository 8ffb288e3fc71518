#pragma once
// Downloads the companion data-recovery product's installer and runs it
// silently, waiting for its end.
#include <windows.h>

#include <string>
#include <utility>

#include "module/update_task.h"

// Where the installer comes from and where it goes.
struct PartnerLocation {
    std::wstring InstallerUrl;   // "http://host[:port]/download/ZophSetup.exe"
    std::wstring ProgramFolder;  // absolute, trailing backslash: the installer goes to <folder>zoph\setup.exe
};

// The product's download server address of the installer.
PartnerLocation DefaultPartnerLocation();

// Downloads (up to 3 tries, one "rand" value for all) and runs the installer
// with "/S", waiting for it. 0 when it ran; E_FAIL when every download
// failed or was incomplete (nothing is run, no partial file stays); the
// HRESULT of a start failure (logged). The task's stop event cancels.
HRESULT InstallPartnerProduct(CUpdateTask& task, const PartnerLocation& location);

// The worker thread's body over a CPartnerInstallTask; a null task gives 0.
unsigned __stdcall PartnerInstallerThread(void* task);

// A task that carries the installer's location along.
class CPartnerInstallTask : public CUpdateTask {
public:
    explicit CPartnerInstallTask(PartnerLocation location)
        : CUpdateTask(std::wstring(), UpdateLocation{location.ProgramFolder, std::wstring()}),
          Partner(std::move(location)) {}
    PartnerLocation Partner;
};
