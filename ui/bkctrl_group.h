#pragma once
// Selection groups: controls that name the same group (in any window of the
// process) behave like radio buttons. The map from group name to its members
// lives beside the control registry and is guarded by the registry's lock;
// it never owns the controls.
#include <string>
#include <windows.h>

class CBkWindow;

class BkControlGroups {
public:
    // Appends the control to the group's list; TRUE.
    static BOOL JoinGroup(CBkWindow* pWnd, const std::string& strGroup);
    // Removes every entry of the group's list that refers to the control.
    static void LeaveGroup(CBkWindow* pWnd, const std::string& strGroup);
    // Removes the control from every group; a control whose group attribute
    // changed after it joined still leaves no stale entry behind.
    static void LeaveAllGroups(CBkWindow* pWnd);
    // TRUE when any member has BKSTATE_CHECKED.
    static BOOL IsGroupChecked(const std::string& strGroup);
    // Checks the control and un-checks (and repaints) every other checked
    // member of the group.
    static void CheckInGroup(CBkWindow* pWnd, const std::string& strGroup);
    // Number of entries in the group's list (tests and diagnostics).
    static size_t GroupSize(const std::string& strGroup);
};

// Asks the control's view to repaint the rectangle (BKNM_INVALIDATERECT);
// nothing when the control or an ancestor is hidden or the view is gone.
// Answers the view's answer, else 0.
LRESULT BkInvalidateControlRect(const RECT& rc, CBkWindow* pWnd);
