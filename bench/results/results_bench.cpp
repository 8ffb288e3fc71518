// The result list over 2,000,000 results: setting the row count, painting a
// full page, scrolling by a page and selecting all, beside the engine's own
// search time for the same query. Needs a display (run-bench.sh starts one).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "index/app_context.h"
#include "index/index_manager.h"
#include "platform/gdi.h"
#include "platform/handle.h"
#include "results/search_result_wnd.h"

namespace {

using bench::WriteWhole;
double Now() { return bench::NowMs(); }

constexpr uint32_t kRecords = 2000000;
constexpr int kRuns = 9;

// "docNNNNNNN.<ext>" under a few folders; every fifth file deleted.
bool WriteIndex(const std::wstring& folder) {
    static const char* const kExt[] = {"txt", "jpg", "docx", "mp3", "zip", "pdf", "png", "cpp"};
    const uint32_t folders = 1000;
    std::vector<IndexRecord> records(50 + folders + kRecords);
    std::memset(records.data(), 0, records.size() * sizeof(IndexRecord));
    for (auto& r : records) r.FileName = 0xFFFFFFFFu;
    std::string names;
    auto add = [&](uint32_t slot, uint32_t father, const std::string& name, uint8_t flags, int64_t size) {
        IndexRecord& r = records[slot];
        r.FatherID = father;
        r.FileName = static_cast<uint32_t>(names.size());
        r.Flags = flags;
        r.Time2 = MakeFileTime(133500000000000000ULL + slot * 10000000ULL);
        r.Size = size;
        names += name;
        names.push_back('\0');
    };
    add(5, 5, ".", IRF_EXISTS | IRF_DIRECTORY, 0);
    for (uint32_t f = 0; f < folders; ++f)
        add(50 + f, 5, "project" + std::to_string(f), IRF_EXISTS | IRF_DIRECTORY, 0);
    for (uint32_t i = 0; i < kRecords; ++i)
        add(50 + folders + i, 50 + i % folders, "doc" + std::to_string(i) + "." + kExt[i % 8],
            i % 5 == 0 ? 0 : IRF_EXISTS, static_cast<int64_t>(i) * 1237);
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return WriteWhole(folder + L"\\index_C", records.data(), records.size() * sizeof(IndexRecord)) &&
           WriteWhole(folder + L"\\name_C", names.data(), names.size());
}

void Pump() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

// The result panel's stand-in: counts the results it is told about.
struct Owner {
    static LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
        if (msg == WM_SEARCH_RESULTS) {
            ++posts;
            lastCount = wp;
            return 0;
        }
        return ::DefWindowProcW(h, msg, wp, lp);
    }
    static int posts;
    static WPARAM lastCount;
};
int Owner::posts = 0;
WPARAM Owner::lastCount = 0;

struct Row {
    const char* what;
    double best = 1e300;
    void Take(double ms) { best = std::min(best, ms); }
};

}  // namespace

int main() {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"lumsek-results-bench";
    std::printf("generating %u records...\n", kRecords);
    if (!WriteIndex(folder)) {
        std::printf("cannot write the index files\n");
        return 1;
    }
    CIndexManager engine;
    engine.SetIndexFolder(folder);
    GetAppContext()->IndexManager = &engine;
    engine.StartLoad();
    while (!engine.IsLoadDone()) ::Sleep(10);

    WNDCLASSW wc = {};
    wc.lpfnWndProc = &Owner::Proc;
    wc.lpszClassName = L"ResultsBenchOwner";
    ::RegisterClassW(&wc);
    HWND owner = ::CreateWindowW(wc.lpszClassName, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    CSearchResultWnd wnd;
    wnd.SetOwner(owner);
    if (!owner || !wnd.Create(::GetDesktopWindow())) {
        std::printf("no window could be created (is a display set?)\n");
        return 1;
    }
    ::SetWindowPos(wnd.Handle(), HWND_TOP, 0, 0, 1000, 760, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    wnd.ResizeList();
    Pump();
    auto& list = wnd.GetList();
    const HWND listWnd = list.Handle();
    const RECT client = list.GetClientRect();
    platform::WindowDC screen(listWnd);

    Row search{"engine search \"doc\""}, count{"set row count"}, paint{"paint a full page"},
        page{"scroll by a page (+ paint)"}, thumb{"thumb to the middle (+ paint)"}, all{"select all"},
        range{"Shift+End over all rows"};
    size_t results = 0;
    for (int run = 0; run < kRuns; ++run) {
        // The engine's time for the query, as the window starts it.
        const int before = Owner::posts;
        FILETIME none = {0, 0};
        wnd.SetFullSearch(1);
        double t = Now();
        wnd.StartSearch(L"doc", none, none, 0, 0, L"", 0);
        // The window sets its count while handling the engine's message; the
        // owner hears of it right after.
        while (Owner::posts == before) {
            MSG msg;
            if (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == WM_SEARCH_RESULTS && msg.hwnd == wnd.Handle()) {
                    search.Take(Now() - t);
                    // What the handler does first, and the paint that follows
                    // before the user sees the new rows.
                    const double c = Now();
                    list.SetItemCount(static_cast<int>(msg.wParam));
                    ::UpdateWindow(listWnd);
                    count.Take(Now() - c);
                }
                ::DispatchMessageW(&msg);
            } else {
                ::Sleep(0);
            }
        }
        results = Owner::lastCount;
        Pump();

        t = Now();
        list.DoPaint(screen);
        paint.Take(Now() - t);

        t = Now();
        ::SendMessageW(listWnd, WM_VSCROLL, SB_PAGEDOWN, 0);
        ::UpdateWindow(listWnd);  // the page and the scroll bar, as the window draws them
        page.Take(Now() - t);

        // Press on the thumb, drag it to the middle of its track, let go.
        RECT track, knob;
        list.GetScrollBarRects(SB_VERT, &track, &knob);
        const int x = (knob.left + knob.right) / 2;
        const int grab = (knob.top + knob.bottom) / 2;
        const int middle = (track.top + track.bottom) / 2;
        t = Now();
        ::SendMessageW(listWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, grab));
        ::SendMessageW(listWnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, middle));
        ::SendMessageW(listWnd, WM_LBUTTONUP, 0, MAKELPARAM(x, middle));
        ::UpdateWindow(listWnd);
        thumb.Take(Now() - t);

        t = Now();
        list.SelectAll();
        all.Take(Now() - t);

        // Shift+End from the top: every row added is asked whether it is deleted.
        ::SendMessageW(listWnd, WM_KEYDOWN, VK_HOME, 0);
        BYTE keys[256];
        ::GetKeyboardState(keys);
        keys[VK_SHIFT] = 0x80;
        ::SetKeyboardState(keys);
        t = Now();
        ::SendMessageW(listWnd, WM_KEYDOWN, VK_END, 0);
        range.Take(Now() - t);
        keys[VK_SHIFT] = 0;
        ::SetKeyboardState(keys);
        Pump();
    }
    std::printf("\n%u records, %zu results, list %ldx%ld px, best of %d runs\n", kRecords, results,
                client.right, client.bottom, kRuns);
    std::printf("%-32s %10s\n", "operation", "ms");
    for (const Row* row : {&search, &count, &paint, &page, &thumb, &all, &range})
        std::printf("%-32s %10.2f\n", row->what, row->best);
    std::printf("selected %d rows, %d of them deleted\n", list.GetSelectedCount(), list.GetSelectedDeletedCount());
    wnd.DestroyWindow();
    ::DestroyWindow(owner);
    GetAppContext()->IndexManager = nullptr;
    return 0;
}
