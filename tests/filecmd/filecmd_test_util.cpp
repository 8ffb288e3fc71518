#include "tests/filecmd/filecmd_test_util.h"

#include <shellapi.h>

#include <set>

#include "platform/shell_handles.h"
#include "platform/strconv.h"
#include "results/shell_menu.h"
#include "tests/support/test_support.h"
#include "ui/bkstring.h"

namespace filecmd_test {

std::wstring MakeDrive(wchar_t letter, const std::vector<std::wstring>& files) {
    std::wstring root = testing_support::MapDriveToTempFolder(letter);
    if (root.empty()) return root;
    for (const auto& f : files) {
        if (!testing_support::WriteFileBytes(root + f, platform::WideToUtf8(f))) return std::wstring();
    }
    return root;
}

OwnerWindow::OwnerWindow()
    : window_([this](UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
          if (msg != WM_RESULT_MENU_COMMAND) return false;
          commands.push_back(static_cast<int>(wp));
          result = onCommand ? onCommand(wp, lp) : 0;
          return true;
      }) {}

ClipboardFiles ReadClipboardFiles() {
    ClipboardFiles out;
    platform::ClipboardScope clipboard(nullptr);
    if (!clipboard.IsOpen()) return out;
    HGLOBAL list = ::GetClipboardData(CF_HDROP);
    if (list) {
        out.blockSize = ::GlobalSize(list);
        platform::GlobalLockScope<BYTE> p(list);
        const auto* header = reinterpret_cast<const DROPFILES*>(p.Get());
        if (p && out.blockSize >= sizeof(DROPFILES) + 4 && header->pFiles == 20 && header->fWide) {
            const wchar_t* name = reinterpret_cast<const wchar_t*>(p.Get() + 20);
            const wchar_t* end = reinterpret_cast<const wchar_t*>(p.Get() + out.blockSize);
            while (name < end && *name) {
                std::wstring n(name);
                out.names.push_back(n);
                name += n.size() + 1;
            }
            // What follows the last name is the list's closing NUL, at the block's end.
            out.wellFormed = name + 1 == end && *name == L'\0';
        }
    }
    HGLOBAL effect = ::GetClipboardData(::RegisterClipboardFormatW(kPreferredDropEffectFormat));
    if (effect && ::GlobalSize(effect) >= sizeof(DWORD)) {
        platform::GlobalLockScope<DWORD> p(effect);
        if (p) out.dropEffect = *p.Get();
    }
    return out;
}

std::wstring ReadClipboardText() {
    platform::ClipboardScope clipboard(nullptr);
    HGLOBAL text = clipboard.IsOpen() ? ::GetClipboardData(CF_UNICODETEXT) : nullptr;
    if (!text) return L"<none>";
    platform::GlobalLockScope<wchar_t> p(text);
    return p ? std::wstring(p.Get()) : L"<none>";
}

DialogAnswerer::DialogAnswerer() { thread_.Start(Run, this); }

DialogAnswerer::~DialogAnswerer() {
    stop_ = true;
    thread_.Join();
}

namespace {

struct AnswerState {
    std::set<HWND> seen;
    std::atomic<int>* answered;
};

BOOL CALLBACK AnswerDialog(HWND wnd, LPARAM lp) {
    auto* state = reinterpret_cast<AnswerState*>(lp);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(wnd, &pid);
    wchar_t cls[32] = {};
    ::GetClassNameW(wnd, cls, 32);
    if (pid != ::GetCurrentProcessId() || !::IsWindowVisible(wnd) || ::lstrcmpW(cls, L"#32770") != 0 ||
        state->seen.count(wnd)) {
        return TRUE;
    }
    int button = ::GetDlgItem(wnd, IDYES) ? IDYES : IDOK;
    state->seen.insert(wnd);
    ++*state->answered;
    ::PostMessageW(wnd, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(wnd, button)));
    return TRUE;
}

} // namespace

unsigned __stdcall DialogAnswerer::Run(void* arg) {
    auto* self = static_cast<DialogAnswerer*>(arg);
    AnswerState state{{}, &self->answered_};
    while (!self->stop_) {
        ::EnumWindows(AnswerDialog, reinterpret_cast<LPARAM>(&state));
        ::Sleep(20);
    }
    return 0;
}

void LoadStrings() {
    BkString::LoadFromSources({"<string><s id=\"1\">Lumsek</s>"
                               "<s id=\"21\">\xe9\x80\x89\xe6\x8b\xa9\xe6\x8c\x87\xe5\xae\x9a\xe7\x9b\xae\xe5\xbd\x95...</s>"
                               "<s id=\"33\">too many files</s></string>"});
}

} // namespace filecmd_test
