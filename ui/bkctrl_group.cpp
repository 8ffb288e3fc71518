#include "ui/bkctrl_group.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "platform/lock.h"
#include "ui/bknotify.h"
#include "ui/bkwnd.h"

namespace {

typedef std::unordered_map<std::string, std::vector<CBkWindow*>> GroupMap;

// Like the registry, made once and never freed: controls destroyed during
// static destruction still leave their groups safely.
GroupMap& Groups() {
    static GroupMap* groups = new GroupMap;
    return *groups;
}

} // namespace

BOOL BkControlGroups::JoinGroup(CBkWindow* pWnd, const std::string& strGroup) {
    platform::ScopedLock lock(CBkWindow::RegistryLock());
    Groups()[strGroup].push_back(pWnd);
    return TRUE;
}

void BkControlGroups::LeaveGroup(CBkWindow* pWnd, const std::string& strGroup) {
    platform::ScopedLock lock(CBkWindow::RegistryLock());
    std::vector<CBkWindow*>& members = Groups()[strGroup];
    members.erase(std::remove(members.begin(), members.end(), pWnd), members.end());
}

void BkControlGroups::LeaveAllGroups(CBkWindow* pWnd) {
    platform::ScopedLock lock(CBkWindow::RegistryLock());
    for (auto& entry : Groups()) {
        std::vector<CBkWindow*>& members = entry.second;
        members.erase(std::remove(members.begin(), members.end(), pWnd), members.end());
    }
}

BOOL BkControlGroups::IsGroupChecked(const std::string& strGroup) {
    platform::ScopedLock lock(CBkWindow::RegistryLock());
    for (CBkWindow* member : Groups()[strGroup]) {
        if (member->GetState() & BKSTATE_CHECKED) return TRUE;
    }
    return FALSE;
}

void BkControlGroups::CheckInGroup(CBkWindow* pWnd, const std::string& strGroup) {
    platform::ScopedLock lock(CBkWindow::RegistryLock());
    if (pWnd != nullptr) pWnd->ModifyState(BKSTATE_CHECKED, 0);

    // The repaint requests go out to window code that may destroy controls
    // (and so change the list): work from the handles of the members to
    // un-check and look each up again before touching it.
    std::vector<HBKWND> others;
    for (CBkWindow* member : Groups()[strGroup]) {
        if (member != pWnd && (member->GetState() & BKSTATE_CHECKED)) others.push_back(member->GetBkHwnd());
    }
    for (HBKWND handle : others) {
        CBkWindow* member = CBkWindow::FromHandle(handle);
        if (member == nullptr) continue;
        member->ModifyState(0, BKSTATE_CHECKED);
        BkInvalidateControlRect(member->GetRect(), member);
    }
}

size_t BkControlGroups::GroupSize(const std::string& strGroup) {
    platform::ScopedLock lock(CBkWindow::RegistryLock());
    auto it = Groups().find(strGroup);
    return it == Groups().end() ? 0 : it->second.size();
}

LRESULT BkInvalidateControlRect(const RECT& rc, CBkWindow* pWnd) {
    if (pWnd == nullptr || !pWnd->IsVisible(TRUE)) return 0;
    HWND container = pWnd->GetContainer();
    if (container == nullptr || !::IsWindow(container)) return 0;
    BKNMINVALIDATERECT nm = {};
    nm.hdr.hwndFrom = nullptr;
    nm.hdr.idFrom = pWnd->GetCmdID();
    nm.hdr.code = BKNM_INVALIDATERECT;
    nm.uItemID = pWnd->GetBkHwnd();  // the control's handle
    nm.rect = rc;
    return ::SendMessageW(container, WM_NOTIFY, static_cast<WPARAM>(pWnd->GetCmdID()), reinterpret_cast<LPARAM>(&nm));
}
