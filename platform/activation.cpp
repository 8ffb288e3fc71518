#include "platform/activation.h"

namespace platform {

LRESULT RefuseOfferedActivation(LPARAM lParam, BOOL& bHandled) {
    if (LOWORD(lParam) == HTCLIENT) {
        bHandled = FALSE;
        return 0;
    }
    return MA_NOACTIVATE;
}

}  // namespace platform
