// The file commands as the result window runs them: on its selected rows, or
// on the files of the shell menu while that menu routes one of its verbs.
#include "results/file_commands.h"
#include "results/search_result_wnd.h"
#include "results/shell_menu.h"

namespace {

class ResultWindowSite : public FileCommandSite {
public:
    explicit ResultWindowSite(CSearchResultWnd& wnd) : wnd_(wnd) {}

    HWND CommandWindow() override { return wnd_.Handle(); }

    std::vector<std::wstring> CommandPaths() override {
        // The shell menu shows only some of the selected files (those of one
        // folder); its verbs act on exactly those.
        if (const CShellContextMenu* menu = CShellContextMenu::Active()) return menu->Objects();
        std::vector<std::wstring> paths;
        for (int row : wnd_.GetList().GetSelectedItems()) {
            std::wstring path = wnd_.GetResultPathW(wnd_.MapRow(row));
            if (!path.empty()) paths.push_back(std::move(path));
        }
        return paths;
    }

    void MarkListUsed() override {
        HWND owner = wnd_.GetOwnerWindow();
        if (owner && ::IsWindow(owner)) ::SendMessageW(owner, WM_RESULT_LIST_USED, 0, 0);
    }

    int ConfirmBox(const wchar_t* text) override { return wnd_.ConfirmBox(text); }

    void HoldBar(bool hold) override {
        HWND owner = wnd_.GetOwnerWindow();
        if (!owner || !::IsWindow(owner)) return;
        if (hold) {
            previous_ = ::SendMessageW(owner, WM_DOCK_HOLD, 1, 0);
            held_ = true;
        } else if (held_) {
            // Put back what was there: an open menu keeps its own hold.
            ::SendMessageW(owner, WM_DOCK_HOLD, previous_ ? 1 : 0, 0);
            held_ = false;
        }
    }

    void SelectAllRows() override { wnd_.GetList().SelectAll(); }

    // The rows are painted again from what the engine knows; the change
    // journal brings the deletions and a new search with them.
    void RefreshRows() override { wnd_.GetList().ResetItemStates(); }

private:
    CSearchResultWnd& wnd_;
    bool held_ = false;
    LRESULT previous_ = 0;
};

} // namespace

LRESULT RunResultWindowFileCommand(CSearchResultWnd& wnd, WPARAM code, LPARAM mode) {
    ResultWindowSite site(wnd);
    return RunFileCommand(site, code, mode);
}

int OpenResultWindowFiles(CSearchResultWnd& wnd, const std::vector<std::wstring>& paths) {
    ResultWindowSite site(wnd);
    return OpenFiles(site, paths);
}
