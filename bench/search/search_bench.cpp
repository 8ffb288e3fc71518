// Search and sort over a synthetic index of 2,000,000 records, beside GNU grep
// over the same names written one per line.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "index/index_manager.h"
#include "index/search_messages.h"
#include "platform/handle.h"
#include "platform/strconv.h"

namespace {

using bench::WriteWhole;
double Now() { return bench::NowMs(); }

constexpr uint32_t kRecords = 2000000;
constexpr uint32_t kFirstSlot = 50;
constexpr int kRuns = 9;

std::string Env(const char* name) {
    char buf[4096];
    DWORD n = ::GetEnvironmentVariableA(name, buf, sizeof(buf));
    return (n == 0 || n >= sizeof(buf)) ? std::string() : std::string(buf, n);
}

// Runs per search row: LUMSEK_BENCH_SEARCH_RUNS, else kRuns. On a busy
// machine more runs find a quiet moment.
int SearchRuns() {
    static const int runs = std::atoi(Env("LUMSEK_BENCH_SEARCH_RUNS").c_str());
    return runs > 0 ? runs : kRuns;
}

std::wstring UnixToWindows(const std::string& unixPath) {
    std::wstring w = L"\\\\?\\unix" + platform::Utf8ToWide(unixPath);
    for (auto& c : w) if (c == L'/') c = L'\\';
    return w;
}

std::string ReadWhole(const std::wstring& path) {
    platform::FileHandle f(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!f) return std::string();
    std::string out;
    char buf[4096];
    DWORD got = 0;
    while (::ReadFile(f.Get(), buf, sizeof(buf), &got, nullptr) && got > 0) out.append(buf, got);
    return out;
}

// Runs a Linux shell command and waits for the marker file it leaves at the
// end (Wine gives no usable handle of a Linux process to wait on).
int RunUnix(const std::string& work, const std::string& command) {
    static int counter = 0;
    std::string marker = work + "/bench-cmd-" + std::to_string(++counter) + ".rc";
    std::string script = "(" + command + "); echo $? > '" + marker + ".tmp' && mv '" + marker + ".tmp' '" + marker + "'";
    std::string scriptFile = work + "/bench-cmd-" + std::to_string(counter) + ".sh";
    WriteWhole(UnixToWindows(scriptFile), script.data(), script.size());
    std::wstring cmdLine = L"sh " + platform::Utf8ToWide(scriptFile);
    std::vector<wchar_t> buf(cmdLine.begin(), cmdLine.end());
    buf.push_back(0);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    // Wine leaves pi's handles uninitialised for a Linux program: stale values
    // that may be our own handles, so they are never closed or resumed.
    if (!::CreateProcessW(L"\\\\?\\unix\\bin\\sh", buf.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                          nullptr, nullptr, &si, &pi))
        return -1;
    std::wstring markerW = UnixToWindows(marker);
    for (int waited = 0; waited < 600000; waited += 5) {
        std::string rc = ReadWhole(markerW);
        if (!rc.empty()) {
            ::DeleteFileW(markerW.c_str());
            return atoi(rc.c_str());
        }
        ::Sleep(5);
    }
    return -1;
}

// ---------------------------------------------------------------------------
// The synthetic volume: a folder tree with file names made of words, numbers
// and extensions; one name in ten is Chinese, a few files are deleted.

const char* const kGroups[] = {"proj", "data", "img", "tmp", "src", "usr", "bak", "sys", "web", "lib"};
const char* const kWords[] = {
    "invoice", "report", "summary", "budget", "photo", "holiday", "setup", "driver", "update", "readme",
    "config", "backup", "archive", "draft", "final", "review", "meeting", "notes", "player", "server",
    "client", "index", "main", "test", "sample", "export", "import", "schedule", "contract", "resume",
    "letter", "manual", "guide", "slides", "chart", "table", "music", "video", "camera", "screen",
    "network", "kernel", "module", "plugin", "theme", "font", "icon", "cache", "queue", "thread",
    "memory", "window", "button", "dialog", "search", "result", "engine", "format", "stream", "buffer"};
const wchar_t* const kChinese[] = {L"报告", L"照片", L"文档", L"音乐", L"视频", L"下载", L"项目", L"备份",
                                   L"会议", L"合同"};
const char* const kExtensions[] = {"txt", "doc", "pdf", "jpg", "png", "mp3", "mp4", "zip", "exe", "dll",
                                   "cpp", "h", "xlsx", "log", "ini", "xml"};

struct Volume {
    std::vector<IndexRecord> records;
    std::string names;       // ANSI, NUL-separated, as in a name file
    std::string namesUtf8;   // one per line, for grep
};

void Generate(Volume& v) {
    std::mt19937 rng(12345);
    auto pick = [&](size_t n) { return static_cast<size_t>(std::uniform_int_distribution<size_t>(0, n - 1)(rng)); };
    v.records.resize(kRecords);
    std::memset(v.records.data(), 0, v.records.size() * sizeof(IndexRecord));
    v.names.reserve(kRecords * 22);
    v.namesUtf8.reserve(kRecords * 24);
    std::vector<uint32_t> folders = {5};
    for (uint32_t slot = 0; slot < kRecords; ++slot) {
        IndexRecord& r = v.records[slot];
        if (slot < kFirstSlot) {
            r.FileName = 0xFFFFFFFFu;
            continue;
        }
        bool folder = pick(10) == 0;
        std::wstring wide;
        std::string ascii;
        bool chinese = pick(10) == 0;
        if (chinese) {
            wide = kChinese[pick(10)];
            wide += platform::Utf8ToWide(std::string("_") + kWords[pick(60)] + std::to_string(pick(1000)));
        } else {
            ascii = std::string(kGroups[pick(10)]) + (pick(2) ? "_" : "-") + kWords[pick(60)] + std::to_string(pick(10000));
            if (pick(3) == 0) ascii[0] = static_cast<char>(ascii[0] - 32);  // some capitals
        }
        if (!folder) {
            std::string ext = std::string(".") + kExtensions[pick(16)];
            if (chinese) wide += platform::Utf8ToWide(ext);
            else ascii += ext;
        }
        std::string ansi = chinese ? platform::WideToAnsi(wide) : ascii;
        std::string utf8 = chinese ? platform::WideToUtf8(wide) : ascii;
        r.FatherID = folders[pick(folders.size())];
        r.FileName = static_cast<uint32_t>(v.names.size());
        r.Flags = folder ? (IRF_EXISTS | IRF_DIRECTORY) : (pick(30) == 0 ? 0 : IRF_EXISTS);
        r.Time2 = MakeFileTime(0x01D9000000000000ull + pick(1u << 30) * 1000ull);
        r.Size = folder ? 0 : static_cast<int64_t>(pick(1u << 24));
        v.names += ansi;
        v.names.push_back('\0');
        v.namesUtf8 += utf8;
        v.namesUtf8.push_back('\n');
        if (folder && folders.size() < 200000) folders.push_back(slot);
    }
}

// ---------------------------------------------------------------------------

class ResultsWindow {
public:
    ResultsWindow() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"SearchBenchWindow";
        ::RegisterClassW(&wc);
        hwnd_ = ::CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    }
    ~ResultsWindow() { ::DestroyWindow(hwnd_); }
    HWND Handle() const { return hwnd_; }
    // Waits for the next WM_SEARCH_RESULTS.
    MSG Next() {
        MSG msg = {};
        while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (msg.message == WM_SEARCH_RESULTS) return msg;
            ::DispatchMessageW(&msg);
        }
        return msg;
    }

private:
    HWND hwnd_ = nullptr;
};

// The machine is shared: the best of several runs is the least disturbed.
double Best(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

struct Row {
    std::string what;
    std::string pattern;
    size_t results = 0;
    double engineMs = 0;
    std::string grepArgs;  // empty: no grep counterpart
    size_t grepCount = 0;
    double grepMs = 0;
    std::string goal = "-";  // the engine time the row is held to
};

CSearchQuery MakeQuery(const std::wstring& pattern, uint32_t fullScan = 1) {
    CSearchQuery q;
    q.Pattern = pattern;
    q.FullScan = fullScan;
    return q;
}

void SetRegex(CIndexManager& m, bool on) {
    platform::ScopedLock lock(m.QueryLock());
    g_bUseRegex = on ? 1 : 0;
}

double TimeSearch(CIndexManager& m, ResultsWindow& w, const CSearchQuery& q, size_t* results) {
    std::vector<double> times;
    for (int i = 0; i < SearchRuns(); ++i) {
        double t0 = Now();
        m.StartSearch(q);
        MSG msg = w.Next();
        times.push_back(Now() - t0);
        *results = msg.wParam;
    }
    return Best(times);
}

std::string ShellQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

void TimeGrep(const std::string& work, const std::string& namesFile, Row& row) {
    // The timed runs write their count to a file, not to /dev/null: GNU grep
    // notices output to /dev/null and stops at the first matching line, which
    // would time its start-up rather than a count over every name.
    std::string out = work + "/grep-times.txt";
    std::string sink = work + "/grep-count.txt";
    std::string cmd = "cat " + namesFile + " >/dev/null; grep -c " + row.grepArgs + " " + namesFile + " > " + out +
                      "; for i in 1 2 3 4 5; do s=$(date +%s%N); grep -c " + row.grepArgs + " " + namesFile + " > " +
                      sink + "; e=$(date +%s%N); echo $((e - s)) >> " + out + "; done; rm -f " + sink;
    if (RunUnix(work, cmd) != 0) {
        std::printf("grep run failed for %s\n", row.grepArgs.c_str());
        return;
    }
    std::string text = ReadWhole(UnixToWindows(out));
    ::DeleteFileW(UnixToWindows(out).c_str());
    std::vector<double> times;
    size_t pos = 0;
    bool first = true;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        if (nl == std::string::npos) nl = text.size();
        std::string line = text.substr(pos, nl - pos);
        pos = nl + 1;
        if (line.empty()) continue;
        if (first) {
            row.grepCount = std::strtoull(line.c_str(), nullptr, 10);
            first = false;
        } else {
            times.push_back(std::strtod(line.c_str(), nullptr) / 1e6);
        }
    }
    if (!times.empty()) row.grepMs = Best(times);
}

} // namespace

int main() {
    std::string work = Env("LUMSEK_BENCH_WORK");
    if (work.empty()) {
        char tmp[MAX_PATH];
        ::GetTempPathA(MAX_PATH, tmp);
        std::printf("LUMSEK_BENCH_WORK is not set\n");
        return 1;
    }
    work += "/search-bench";
    RunUnix(Env("LUMSEK_BENCH_WORK"), "mkdir -p '" + work + "'");
    std::wstring folder = UnixToWindows(work);

    std::printf("generating %u records...\n", kRecords);
    {
        Volume v;
        Generate(v);
        if (!WriteWhole(folder + L"\\index_C", v.records.data(), v.records.size() * sizeof(IndexRecord)) ||
            !WriteWhole(folder + L"\\name_C", v.names.data(), v.names.size()) ||
            !WriteWhole(folder + L"\\names.txt", v.namesUtf8.data(), v.namesUtf8.size())) {
            std::printf("cannot write the index files\n");
            return 1;
        }
    }
    const std::string namesFile = ShellQuote(work + "/names.txt");

    CIndexManager manager;
    manager.SetIndexFolder(folder);
    ResultsWindow window;
    manager.SetNotifyWindow(window.Handle());
    manager.StartLoad();
    while (!manager.IsLoadDone()) ::Sleep(10);
    if (manager.VolumeCount() != 1) {
        std::printf("the index did not load (%u volumes)\n", static_cast<unsigned>(manager.VolumeCount()));
        return 1;
    }
    SYSTEM_INFO si;
    ::GetSystemInfo(&si);
    std::printf("loaded %u records, %u processors\n", manager.GetVolume(0)->RecordCount(),
                static_cast<unsigned>(si.dwNumberOfProcessors));

    // LUMSEK_BENCH_SORTS_ONLY=1 skips the search rows (and grep),
    // LUMSEK_BENCH_SEARCHES_ONLY=1 the sort rows.
    const bool sortsOnly = !Env("LUMSEK_BENCH_SORTS_ONLY").empty();
    const bool searchesOnly = !Env("LUMSEK_BENCH_SEARCHES_ONLY").empty();
    std::vector<Row> rows;
    // Each engine figure is taken right beside its grep figure, so that both
    // see the same load on the machine.
    auto search = [&](const char* what, const std::wstring& pattern, const std::string& grepArgs, bool regex = false) {
        Row row;
        row.what = what;
        row.pattern = platform::WideToUtf8(pattern);
        SetRegex(manager, regex);
        row.engineMs = TimeSearch(manager, window, MakeQuery(pattern), &row.results);
        SetRegex(manager, false);
        row.grepArgs = grepArgs;
        TimeGrep(work, namesFile, row);
        // A substring search is held to grep's time over the same names, an
        // expression to three times it.
        if (row.grepMs > 0 && (regex || row.what.rfind("full, substring", 0) == 0)) {
            char goal[32];
            std::snprintf(goal, sizeof(goal), "<= %.1f", (regex ? 3 : 1) * row.grepMs);
            row.goal = goal;
        }
        rows.push_back(row);
    };
    if (!sortsOnly) {
        search("full, substring", L"invoice", "-i -F invoice");
        search("full, substring", L"in", "-i -F in");
        search("full, substring", L"e", "-i -F e");
        search("full, substring, Chinese", L"报告", "-i -F 报告");
        search("full, substring, no hit", L"zqxj", "-i -F zqxj");
        search("full, wildcard", L"*invoice*.pdf", "-i -E '^.*invoice.*\\.pdf$'");
        search("full, wildcard", L"proj?inv*", "-i -E '^proj.inv'");
        search("full, regex", L"inv.ice[0-9]+\\.pdf$", "-E 'inv.ice[0-9]+\\.pdf$'", true);
        search("full, empty pattern", L"", "-i -F ''");

        // Narrowing: typing one more character (the previous results are
        // re-matched), and deleting one (every candidate is re-matched).
        auto narrow = [&](const char* what, const std::wstring& before, const std::wstring& after, const char* grepArgs) {
            Row row;
            row.what = what;
            row.pattern = platform::WideToUtf8(after);
            std::vector<double> times;
            for (int i = 0; i < SearchRuns(); ++i) {
                manager.StartSearch(MakeQuery(before));
                window.Next();
                double t0 = Now();
                manager.StartSearch(MakeQuery(after, 0));
                row.results = window.Next().wParam;
                times.push_back(Now() - t0);
            }
            row.engineMs = Best(times);
            row.grepArgs = grepArgs;
            TimeGrep(work, namesFile, row);
            rows.push_back(row);
        };
        narrow("narrowing, 'invoic' + 'e'", L"invoic", L"invoice", "-i -F invoice");
        narrow("narrowing, 'i' + 'n'", L"i", L"in", "-i -F in");
        narrow("narrowing, 'invoice' - 'e'", L"invoice", L"invoic", "-i -F invoic");
    }

    // Sorts of one search's results (every record for the empty pattern).
    const char* const sortNames[] = {"", "sort by name", "sort by path", "sort by type", "sort by size", "sort by time"};
    auto sorts = [&](const wchar_t* pattern, int runs) {
        for (int key = SORT_BY_NAME; key <= SORT_BY_TIME; ++key) {
            Row row;
            row.what = sortNames[key];
            row.pattern = platform::WideToUtf8(pattern);
            std::vector<double> times;
            for (int i = 0; i < runs; ++i) {
                manager.StartSearch(MakeQuery(pattern));
                row.results = window.Next().wParam;
                double t0 = Now();
                manager.StartSort(key);
                window.Next();
                times.push_back(Now() - t0);
            }
            row.engineMs = Best(times);
            // A sort of every record by any key within a second; of one
            // search's results by name within 50 ms, by path within 100 ms.
            if (*pattern == 0) row.goal = "<= 1000";
            else if (key == SORT_BY_NAME) row.goal = "<= 50";
            else if (key == SORT_BY_PATH) row.goal = "<= 100";
            rows.push_back(row);
        }
    };
    // LUMSEK_BENCH_SORT_RUNS=n takes the best of n runs of each sort.
    const int sortRuns = std::max(0, std::atoi(Env("LUMSEK_BENCH_SORT_RUNS").c_str()));
    if (!searchesOnly) {
        sorts(L"proj", sortRuns > 0 ? sortRuns : 3);
        sorts(L"", sortRuns > 0 ? sortRuns : 2);
    }


    std::printf("\n%-28s %-22s %9s %10s %9s  %-36s %9s %9s %7s\n", "operation (best of runs)", "pattern", "results",
                "engine ms", "goal ms", "grep -c", "grep hits", "grep ms", "ratio");
    for (const Row& row : rows) {
        std::printf("%-28s %-22s %9u %10.1f %9s  ", row.what.c_str(), row.pattern.c_str(),
                    static_cast<unsigned>(row.results), row.engineMs, row.goal.c_str());
        if (row.grepArgs.empty() || row.grepMs <= 0) {
            std::printf("%-36s %9s %9s %7s\n", "-", "-", "-", "-");
        } else {
            std::printf("%-36s %9u %9.1f %7.2f\n", row.grepArgs.c_str(), static_cast<unsigned>(row.grepCount),
                        row.grepMs, row.engineMs / row.grepMs);
        }
    }
    RunUnix(Env("LUMSEK_BENCH_WORK"), "rm -rf '" + work + "'");
    return 0;
}
