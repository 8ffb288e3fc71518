#include "tests/results/result_fixture.h"

#include <algorithm>
#include <cstring>

#include "index/app_context.h"
#include "platform/gdi.h"
#include "ui/bkstring.h"
#include "tests/support/index_writer.h"
#include "tests/support/test_support.h"

extern const char kProgramStringsXml[];  // program_strings.cpp

namespace results_test {

bool LoadProgramStrings() {
    return BkString::LoadFromSources({kProgramStringsXml}) != FALSE;
}

uint64_t LocalTime(int year, int month, int day, int hour, int minute) {
    SYSTEMTIME st = {};
    st.wYear = static_cast<WORD>(year);
    st.wMonth = static_cast<WORD>(month);
    st.wDay = static_cast<WORD>(day);
    st.wHour = static_cast<WORD>(hour);
    st.wMinute = static_cast<WORD>(minute);
    FILETIME ft;
    ::SystemTimeToFileTime(&st, &ft);
    return FileTimeValue(ft);
}

bool WriteVolume(const std::wstring& folder, wchar_t letter, const std::vector<Entry>& entries) {
    return testing_support::WriteIndexVolume(folder, letter, entries);
}

std::vector<Entry> ManyFiles(uint32_t count, uint32_t deletedEvery) {
    std::vector<Entry> entries;
    entries.reserve(count + 1);
    entries.push_back({5, 5, ".", kDir, 0, 0});
    for (uint32_t i = 0; i < count; ++i) {
        const bool deleted = deletedEvery != 0 && i % deletedEvery == 0;
        entries.push_back({50 + i, 5, "file" + std::to_string(i) + ".txt", deleted ? kDeletedFile : kFile,
                           LocalTime(2024, 1, 2, 3, 4), static_cast<int64_t>(i)});
    }
    return entries;
}

bool WriteManyFiles(const std::wstring& folder, wchar_t letter, uint32_t count, uint32_t deletedEvery) {
    std::vector<IndexRecord> records(50 + static_cast<size_t>(count));
    for (auto& r : records) {
        std::memset(&r, 0, sizeof(r));
        r.FileName = 0xFFFFFFFFu;
    }
    std::string names;
    names.reserve(static_cast<size_t>(count) * 16 + 2);
    records[5].FatherID = 5;
    records[5].FileName = 0;
    records[5].Flags = kDir;
    names += ".";
    names.push_back('\0');
    const FILETIME time = MakeFileTime(LocalTime(2024, 1, 2, 3, 4));
    for (uint32_t i = 0; i < count; ++i) {
        IndexRecord& r = records[50 + static_cast<size_t>(i)];
        r.FatherID = 5;
        r.FileName = static_cast<uint32_t>(names.size());
        r.Flags = deletedEvery != 0 && i % deletedEvery == 0 ? kDeletedFile : kFile;
        r.Time2 = time;
        r.Size = i;
        names += "file";
        names += std::to_string(i);
        names += ".txt";
        names.push_back('\0');
    }
    std::string bytes(reinterpret_cast<const char*>(records.data()), records.size() * sizeof(IndexRecord));
    const wchar_t l[2] = {letter, 0};
    return testing_support::WriteFileBytes(folder + L"\\index_" + l, bytes) &&
           testing_support::WriteFileBytes(folder + L"\\name_" + l, names);
}

namespace {
MessageSpy* g_spy = nullptr;  // one spy at a time
}  // namespace

MessageSpy::MessageSpy(HWND hwnd, UINT first, UINT last) : hwnd_(hwnd), first_(first), last_(last) {
    g_spy = this;
    previous_ = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MessageSpy::Proc)));
}

MessageSpy::~MessageSpy() {
    if (::IsWindow(hwnd_)) ::SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
    g_spy = nullptr;
}

LRESULT CALLBACK MessageSpy::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    MessageSpy* spy = g_spy;
    if (msg >= spy->first_ && msg <= spy->last_) spy->messages.push_back({msg, wp, lp});
    return ::CallWindowProcW(spy->previous_, hwnd, msg, wp, lp);
}

void SetModifiers(bool ctrl, bool shift) {
    BYTE keys[256];
    ::GetKeyboardState(keys);
    keys[VK_CONTROL] = keys[VK_LCONTROL] = ctrl ? 0x80 : 0;
    keys[VK_SHIFT] = keys[VK_LSHIFT] = shift ? 0x80 : 0;
    ::SetKeyboardState(keys);
}

PrintedClient::PrintedClient(HWND hwnd) {
    RECT rc;
    ::GetClientRect(hwnd, &rc);
    width_ = rc.right;
    height_ = rc.bottom;
    if (width_ <= 0 || height_ <= 0) return;
    void* bits = nullptr;
    HBITMAP dib = platform::CreateDib32(width_, height_, &bits);
    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, dib);
    ::SendMessageW(hwnd, WM_PRINT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    ::GdiFlush();
    const uint32_t* p = static_cast<const uint32_t*>(bits);
    pixels_.assign(p, p + static_cast<size_t>(width_) * height_);
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    ::DeleteObject(dib);
}

COLORREF PrintedClient::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
    const uint32_t bgra = pixels_[static_cast<size_t>(y) * width_ + x];
    return RGB((bgra >> 16) & 0xFF, (bgra >> 8) & 0xFF, bgra & 0xFF);
}

OwnerWindow::OwnerWindow() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &OwnerWindow::Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ResultOwnerTestWindow";
    ::RegisterClassW(&wc);
    hwnd_ = ::CreateWindowW(wc.lpszClassName, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
    ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

OwnerWindow::~OwnerWindow() {
    ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    ::DestroyWindow(hwnd_);
}

size_t OwnerWindow::Count(UINT msg) const {
    return static_cast<size_t>(std::count_if(messages.begin(), messages.end(),
                                             [msg](const Message& m) { return m.msg == msg; }));
}

const Message* OwnerWindow::Last(UINT msg) const {
    for (auto it = messages.rbegin(); it != messages.rend(); ++it)
        if (it->msg == msg) return &*it;
    return nullptr;
}

LRESULT CALLBACK OwnerWindow::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<OwnerWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && msg >= WM_USER) {
        self->messages.push_back({msg, wp, lp});
        if (msg == WM_DOCK_ENABLE || msg == WM_DOCK_HOLD) return wp == 1 ? self->dockAnswer : 0;
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

int ResultSetup::runs_ = 0;

ResultSetup::ResultSetup() {
    folder_ = L"C:\\results-test-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++runs_);
    engine.reset(new CIndexManager());
    engine->SetIndexFolder(folder_);
    GetAppContext()->IndexManager = engine.get();
    wnd.reset(new CSearchResultWnd());
    wnd->SetOwner(owner.Handle());
    wnd->Create(::GetDesktopWindow());
}

ResultSetup::~ResultSetup() {
    wnd.reset();
    engine.reset();
    GetAppContext()->IndexManager = nullptr;
}

bool ResultSetup::Load(const std::vector<Entry>& entries) {
    return WriteVolume(folder_, L'C', entries) && LoadWritten();
}

bool ResultSetup::LoadMany(uint32_t count, uint32_t deletedEvery) {
    return WriteManyFiles(folder_, L'C', count, deletedEvery) && LoadWritten();
}

bool ResultSetup::LoadWritten() {
    engine->StartLoad();
    return testing_support::PumpMessagesUntil([&] { return engine->IsLoadDone(); }, 60000) &&
           engine->VolumeCount() == 1;
}

bool ResultSetup::Search(const std::wstring& query, int fileState) {
    const size_t before = owner.Count(WM_SEARCH_RESULTS);
    FILETIME none = {0, 0};
    wnd->StartSearch(query, none, none, 0, 0, L"", fileState);
    return testing_support::PumpMessagesUntil([&] { return owner.Count(WM_SEARCH_RESULTS) > before; }, 60000);
}

void ResultSetup::Show(int width, int height) {
    ::SetWindowPos(wnd->Handle(), HWND_TOP, 0, 0, width, height, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    wnd->ResizeList();
    testing_support::PumpMessages(50);
}

}  // namespace results_test
