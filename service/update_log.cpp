#include "service/log.h"

#include "service/log_file.h"

namespace {

CLogFile& UpdateLogFile() {
    // Never destroyed: worker threads may still log while the module unloads.
    static CLogFile* const log = CreateLoadedNamedLog("update.log");
    return *log;
}

// Sets the log up (and rotates it) while the module loads.
struct UpdateLogLoadTimeSetup {
    UpdateLogLoadTimeSetup() { UpdateLogFile(); }
} g_updateLogSetup;

} // namespace

int UpdateLog(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    int n = UpdateLogFile().WriteV(format, args);
    va_end(args);
    return n;
}
