#include "shell/app_startup.h"

#include <windows.h>
#include <shlwapi.h>

#include "index/app_context.h"
#include "platform/command_line.h"
#include "platform/trace.h"
#include "shell/module_binding.h"

std::wstring DeferredUpdateMarkerPath(const std::wstring& programDir) {
    return programDir + L"\\update\\pemour.dat";
}

int CheckUpdateAtStartup(const wchar_t* commandLine, const std::wstring& programDir, CModuleBinding& binding) {
    CCommandLine options;
    options.Parse(commandLine);
    if (options.HasOption(L"reupdate")) return 1;

    if (::PathFileExistsW(DeferredUpdateMarkerPath(programDir).c_str())) {
        // End only when the re-update program is really on its way; else the
        // user would be left with no program at all.
        if (binding.LaunchReupdate()) return 0;
        // The list stays for a later start, and the update goes on as if none
        // were pending: it may bring the missing re-update program back, and
        // a list that cannot be carried out must not hold updates back for good.
        platform::Trace("deferred update pending but the re-update program was not started; starting normally");
    }
    binding.StartBackgroundUpdate();
    return 1;
}

int CheckUpdateAtStartup() {
    return CheckUpdateAtStartup(::GetCommandLineW(), GetAppContext()->GetModuleDir(), GetModuleBinding());
}
