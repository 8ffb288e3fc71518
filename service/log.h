#pragma once
// The logs of a module: the per-module log (switched by "pemover.dat"), the
// updater's "update.log" and the service's "service.log". Each is set up and
// rotated when the module loads.

// Each answers the characters formatted, or 0 when nothing was logged.
int ModuleLog(const wchar_t* format, ...);
int UpdateLog(const wchar_t* format, ...);
int ServiceLog(const wchar_t* format, ...);
