#include "service/log.h"

#include "service/log_file.h"

namespace {

CLogFile& ServiceLogFile() {
    // Never destroyed: worker threads may still log while the module unloads.
    static CLogFile* const log = CreateLoadedNamedLog("service.log");
    return *log;
}

// Sets the log up (and rotates it) while the module loads.
struct ServiceLogLoadTimeSetup {
    ServiceLogLoadTimeSetup() { ServiceLogFile(); }
} g_serviceLogSetup;

} // namespace

int ServiceLog(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    int n = ServiceLogFile().WriteV(format, args);
    va_end(args);
    return n;
}
