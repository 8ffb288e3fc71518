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

namespace results_test {

constexpr uint8_t kFile = IRF_EXISTS;
constexpr uint8_t kDir = IRF_EXISTS | IRF_DIRECTORY;
constexpr uint8_t kDeletedFile = 0;

struct Entry {
    uint32_t slot;
    uint32_t father;
    std::string name;  // ANSI (system code page)
    uint8_t flags;
    uint64_t time2;
    int64_t size;
};

// Local-time FILETIME value of a date.
uint64_t LocalTime(int year, int month, int day, int hour, int minute);

// Writes "index_X" and "name_X" of the entries into `folder`.
bool WriteVolume(const std::wstring& folder, wchar_t letter, const std::vector<Entry>& entries);
// `count` files named "file<n>.txt" under the root (every `deletedEvery`-th
// one deleted, 0: none), slots from 50.
std::vector<Entry> ManyFiles(uint32_t count, uint32_t deletedEvery);

struct Message {
    UINT msg;
    WPARAM wp;
    LPARAM lp;
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
    // Starts a search and pumps until the owner got its WM_SEARCH_RESULTS.
    bool Search(const std::wstring& query, int fileState = 0);
    // Shows the window at a fixed size so that the list has a client area.
    void Show(int width, int height);

    std::unique_ptr<CIndexManager> engine;
    OwnerWindow owner;
    std::unique_ptr<CSearchResultWnd> wnd;

private:
    std::wstring folder_;
    static int runs_;
};

}  // namespace results_test
