// pelvane.exe: the service that starts the search program at boot, and the
// console commands that install and control it.
#include <windows.h>

#include "service/svc_inst.h"

int main(int argc, char**) { return PelvaneMain(argc, ::GetCommandLineW()); }
