#pragma once
// The start-up update check of the search program.
#include <string>

class CModuleBinding;

// The deferred-update list that the re-update program carries out, beside
// the program (the service starts us in a folder of its own, so a path
// relative to the current directory would never be seen).
std::wstring DeferredUpdateMarkerPath(const std::wstring& programDir);

// 0 when the program must end now (a deferred update is pending and the
// re-update program was started), 1 to go on. With the option "reupdate"
// (we were restarted by the re-update program) nothing else happens; without
// a pending update, or when the re-update program could not be started, the
// background update starts.
int CheckUpdateAtStartup(const wchar_t* commandLine, const std::wstring& programDir, CModuleBinding& binding);
// The same for this process: its command line, folder and module binding.
int CheckUpdateAtStartup();
