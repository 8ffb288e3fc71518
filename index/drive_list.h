#pragma once
// The drives the engine indexes: fixed and removable ones, in listing order.
#include <string>
#include <vector>

// False when the system cannot list the logical drives.
bool ListIndexableDrives(std::vector<wchar_t>& letters);
