#pragma once
// The full path of a loaded module. GetModuleFileNameW cuts a path that does
// not fit its buffer without failing, and a cut path names some other file or
// folder; these helpers grow the buffer until the whole path fits.
#include <windows.h>

#include <string>

namespace platform {

// The full path of `module` (null: the running program); empty on failure.
std::wstring ModuleFileName(HMODULE module);

// The folder of a file path, cut before its last backslash or slash (no
// trailing separator); empty when the path has none.
std::wstring FolderOfPath(const std::wstring& path);

} // namespace platform
