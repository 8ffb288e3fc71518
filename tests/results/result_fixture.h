#pragma once
// Shared set-up of the result window tests: a real index manager loaded from
// index files written here, the application context pointing at it, and an
// owner window that records every message the result window sends it.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "index/index_manager.h"
#include "index/index_record.h"
#include "results/search_result_wnd.h"
#include "tests/support/index_writer.h"

namespace results_test {

struct Message {
    UINT msg;
    WPARAM wp;
    LPARAM lp;
};

constexpr uint8_t kFile = IRF_EXISTS;
constexpr uint8_t kDir = IRF_EXISTS | IRF_DIRECTORY;
constexpr uint8_t kDeletedFile = 0;

using Entry = testing_support::IndexEntry;

// Loads the program's string table from the source tree.
bool LoadProgramStrings();

// Local-time FILETIME value of a date.
uint64_t LocalTime(int year, int month, int day, int hour, int minute);

// Writes "index_X" and "name_X" of the entries into `folder`.
bool WriteVolume(const std::wstring& folder, wchar_t letter, const std::vector<Entry>& entries);
// `count` files named "file<n>.txt" under the root (every `deletedEvery`-th
// one deleted, 0: none), slots from 50.
std::vector<Entry> ManyFiles(uint32_t count, uint32_t deletedEvery);
// The same written straight into the files, for millions of rows.
bool WriteManyFiles(const std::wstring& folder, wchar_t letter, uint32_t count, uint32_t deletedEvery);

// Records the messages of a window of ours (subclassing it) and passes them on.
class MessageSpy {
public:
    MessageSpy(HWND hwnd, UINT first, UINT last);
    ~MessageSpy();
    std::vector<Message> messages;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    HWND hwnd_;
    UINT first_, last_;
    WNDPROC previous_;
};

// Sets or clears the Ctrl and Shift keys in this thread's key state.
void SetModifiers(bool ctrl, bool shift);

// The client area of a window as WM_PRINT draws it, 32-bit pixels.
class PrintedClient {
public:
    explicit PrintedClient(HWND hwnd);
    COLORREF At(int x, int y) const;  // RGB; CLR_INVALID outside
    int Width() const { return width_; }
    int Height() const { return height_; }

private:
    std::vector<uint32_t> pixels_;
    int width_ = 0, height_ = 0;
};


// The result panel's stand-in: keeps the messages, answers WM_DOCK_ENABLE and
// WM_DOCK_HOLD with `dockAnswer`.
class OwnerWindow {
public:
    OwnerWindow();
    ~OwnerWindow();
    HWND Handle() const { return hwnd_; }
    std::vector<Message> messages;
    LRESULT dockAnswer = 0;
    size_t Count(UINT msg) const;
    const Message* Last(UINT msg) const;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    HWND hwnd_ = nullptr;
};

// An engine loaded from files, published through the application context,
// and a created result window owned by an OwnerWindow.
class ResultSetup {
public:
    ResultSetup();
    ~ResultSetup();
    // Loads the entries as drive C; false when the load failed.
    bool Load(const std::vector<Entry>& entries);
    // Loads `count` generated files (see ManyFiles).
    bool LoadMany(uint32_t count, uint32_t deletedEvery);
    // Starts a search and pumps until the owner got its WM_SEARCH_RESULTS.
    bool Search(const std::wstring& query, int fileState = 0);
    // Shows the window at a fixed size so that the list has a client area.
    void Show(int width, int height);

    std::unique_ptr<CIndexManager> engine;
    OwnerWindow owner;
    std::unique_ptr<CSearchResultWnd> wnd;

private:
    bool LoadWritten();
    std::wstring folder_;
    static int runs_;
};

}  // namespace results_test
