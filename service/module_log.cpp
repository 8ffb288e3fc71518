#include "service/log.h"

#include "service/log_file.h"

namespace {

CLogFile& ModuleLogFile() {
    // Never destroyed: worker threads may still log while the module unloads.
    static CLogFile* const log = CreateLoadedModuleLog();
    return *log;
}

// Sets the log up (and rotates it) while the module loads.
struct ModuleLogLoadTimeSetup {
    ModuleLogLoadTimeSetup() { ModuleLogFile(); }
} g_moduleLogSetup;

} // namespace

int ModuleLog(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    int n = ModuleLogFile().WriteV(format, args);
    va_end(args);
    return n;
}
