#include "results/recover_dlg.h"

#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstdio>

#include "index/app_context.h"
#include "index/index_manager.h"
#include "platform/strconv.h"
#include "platform/trace.h"
#include "results/recovery_drive.h"
#include "scanner/search_file.h"
#include "shell/module_binding.h"
#include "shell/stat_report.h"
#include "ui/bkfontpool.h"
#include "ui/bkstring.h"

namespace {

const wchar_t kTargetFolderName[] = L"MUXR";
const wchar_t kProductKey[] = L"Software\\WelgrinRecovery";

std::wstring Str(UINT id) {
    LPCWSTR text = BkString::Get(id);
    return text ? text : L"";
}

wchar_t UpperAscii(wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c; }

// The volume a path lies on, as the system names it ("\\?\Volume{...}\"); empty
// where the system cannot tell (substituted or network drives, Wine).
std::wstring VolumeOf(const std::wstring& path) {
    wchar_t mount[MAX_PATH + 1] = {};
    if (!::GetVolumePathNameW(path.c_str(), mount, MAX_PATH)) return L"";
    wchar_t volume[64] = {};
    if (!::GetVolumeNameForVolumeMountPointW(mount, volume, 64)) return L"";
    return volume;
}

void DefaultMessage(HWND owner, UINT, const std::wstring& text) {
    ::MessageBoxW(owner, text.c_str(), Str(1).c_str(), MB_OK);
}

bool DefaultBrowse(HWND owner, std::wstring* folder) {
    BROWSEINFOW info = {};
    info.hwndOwner = owner;
    info.ulFlags = BIF_EDITBOX;
    PIDLIST_ABSOLUTE chosen = ::SHBrowseForFolderW(&info);
    if (!chosen) return false;
    wchar_t path[MAX_PATH] = {};
    const BOOL ok = ::SHGetPathFromIDListW(chosen, path);
    ::CoTaskMemFree(chosen);
    if (!ok || path[0] == 0) return false;
    *folder = path;
    return true;
}

ISearchFile* DefaultBindScanner(platform::ModuleHandle* library) {
    const std::wstring path = GetAppContext()->GetModuleDir() + L"\\searchfile.dll";
    library->Reset(::LoadLibraryW(path.c_str()));
    ISearchFile* scanner = nullptr;
    if (library->Get() && FAILED(CIndexManager::BindSearchFile(library->Get(), &scanner))) scanner = nullptr;
    if (!scanner) platform::TraceW(L"recovery: scanner library %ls not usable", path.c_str());
    return scanner;
}

bool DefaultStartProgram(const std::wstring& program) {
    HINSTANCE result = ::ShellExecuteW(nullptr, nullptr, program.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

void DefaultOpenFolder(const std::wstring& folder) {
    ::ShellExecuteW(nullptr, L"explore", folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

// The recovery product's program file, as its own installer records it.
std::wstring ReadProductPath() {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kProductKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return L"";
    wchar_t value[MAX_PATH + 1] = {};
    DWORD type = 0;
    DWORD size = sizeof(value) - sizeof(wchar_t);
    const LONG status = ::RegQueryValueExW(key, L"path", nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    ::RegCloseKey(key);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return L"";
    value[size / sizeof(wchar_t)] = 0;
    return value;
}

} // namespace

std::vector<RecoverItem> CollectRecoverItems(CIndexManager& engine, const std::vector<size_t>& rows) {
    std::vector<RecoverItem> items;
    items.reserve(rows.size());
    for (size_t row : rows) {
        IndexRecord record = {};
        RecoverItem item;
        if (!engine.GetResultRecord(row, &record) || (record.Flags & IRF_EXISTS) != 0) continue;
        if (!engine.GetResultPath(row, &item.Path) || item.Path.empty()) continue;
        item.Size = record.Size;
        item.Hint = record.RecoverHint;
        items.push_back(std::move(item));
    }
    return items;
}

int RunRecoverDialog(HWND owner, const std::vector<int>& engineRows, const std::vector<std::wstring>& sourceRoots) {
    CIndexManager* engine = GetAppContext()->IndexManager;
    if (!engine) return 2;
    std::vector<size_t> rows;
    for (int row : engineRows)
        if (row >= 0) rows.push_back(static_cast<size_t>(row));
    CRecoverDlg dialog;
    dialog.SetItems(CollectRecoverItems(*engine, rows), owner, sourceRoots);
    return dialog.DoModal(owner);
}

CRecoverDlg::CRecoverDlg() : CBkDialogImpl<CRecoverDlg>(124) {
    seams_.Message = DefaultMessage;
    seams_.BrowseFolder = DefaultBrowse;
    seams_.BindScanner = DefaultBindScanner;
    seams_.StartProgram = DefaultStartProgram;
    seams_.OpenFolder = DefaultOpenFolder;
    seams_.InstallProduct = [](HWND dialog) {
        const CModuleBinding& binding = GetModuleBinding();
        if (!binding.IsMethodPresent(MODULE_METHOD_INSTALL_WITH_DIALOG)) return false;
        binding.Object()->InstallWithDialog(dialog, nullptr);
        return true;
    };
    seams_.Recovered = [](unsigned count) { GetStatReport().AddRecovery(count); };
    seams_.SiblingInstallState = [](int state) { GetStatReport().SetSiblingInstallState(state); };
    seams_.SiblingRun = [] { GetStatReport().AddSiblingRun(); };
}

CRecoverDlg::~CRecoverDlg() {
    // The worker reads this object: it must be gone before the memory is. A
    // run cut short this way (the program quitting) still counts.
    if (stop_) ::SetEvent(stop_.Get());
    CollectWorker();
    ReleaseScanner();
}

void CRecoverDlg::SetItems(const std::vector<RecoverItem>& items, HWND owner,
                           const std::vector<std::wstring>& sourceRoots) {
    items_ = items;
    owner_ = owner;
    sourceRoots_ = sourceRoots;
    totalSize_ = 0;
    for (const RecoverItem& item : items_) totalSize_ += item.Size;
}

IDriveSystem& CRecoverDlg::Drives() { return seams_.Drives ? *seams_.Drives : SystemDrives(); }

void CRecoverDlg::Message(UINT stringId, const std::wstring& text) {
    if (seams_.Message) seams_.Message(Handle(), stringId, text);
}

void CRecoverDlg::Message(UINT stringId) { Message(stringId, Str(stringId)); }

LRESULT CRecoverDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
    HWND view = GetViewControl().Handle();
    edit_ = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_BORDER | ES_AUTOHSCROLL, 0, 0, 10, 10, view,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_TARGET_EDIT)),
                              ::GetModuleHandleW(nullptr), nullptr);
    if (edit_) {
        ::SendMessageW(edit_, WM_SETFONT, reinterpret_cast<WPARAM>(BkFontPool::GetFont(0)), TRUE);
        // The layout places and shows it through its real-window item.
        GetViewControl().ShowAllRealWindows();
    }
    PickTargetDrive();
    if (seams_.BindScanner) scanner_ = seams_.BindScanner(&library_);
    return TRUE;
}

void CRecoverDlg::PickTargetDrive() {
    CAppContext* context = GetAppContext();
    context->RecoverySpaceNeed = SectorsFor(totalSize_);
    const wchar_t letter = PickRecoveryDrive(*context, sourceRoots_, nullptr, Drives());
    if (letter == 0) {
        GetViewControl().SetRichTextW(IDC_DRIVE_HINT, Str(55).c_str());
        return;
    }
    std::wstring target(1, letter);
    target += L":\\";
    target += kTargetFolderName;
    target += L"\\";
    SetTargetText(target);
    target_ = target;
    targetAnsi_ = platform::WideToAnsi(target_);
    ShowDriveHint(letter);
}

void CRecoverDlg::SetTargetText(const std::wstring& text) {
    if (!edit_) return;
    ::SetWindowTextW(edit_, text.c_str());
    ShowTargetFromStart();
}

void CRecoverDlg::ShowTargetFromStart() {
    // Scrolled to the start first: a text set while the edit was still
    // small stays scrolled to its end once the edit has grown, showing only
    // its last characters.
    ::SendMessageW(edit_, EM_SETSEL, 0, 0);
    ::SendMessageW(edit_, EM_SCROLLCARET, 0, 0);
    ::SendMessageW(edit_, EM_SETSEL, 0xFFFF, 0xFFFF);
    ::SendMessageW(edit_, EM_SCROLLCARET, 0, 0);
}

void CRecoverDlg::ShowDriveHint(wchar_t letter) {
    const std::wstring format = Str(54);
    std::wstring text(format.size() + 8, L'\0');
    int n = _snwprintf(&text[0], text.size(), format.c_str(), letter);
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    if (!GetViewControl().SetRichTextW(IDC_DRIVE_HINT, text.c_str())) SetItemText(IDC_DRIVE_HINT, text.c_str());
}

LRESULT CRecoverDlg::OnBkNotify(int, NMHDR* header, BOOL& handled) {
    if (header->code == BKNM_REALWND_MOVED) {
        // The layout has given the target edit its size.
        if (reinterpret_cast<BKNMREALWNDRESIZED*>(header)->uItemID == IDC_TARGET_EDIT && edit_) ShowTargetFromStart();
        handled = FALSE;
        return 0;
    }
    if (header->code != BKNM_COMMAND) {
        handled = FALSE;
        return 0;
    }
    switch (reinterpret_cast<BKNMCOMMAND*>(header)->uItemID) {
    case IDC_CLOSE:
    case IDC_ESCAPE: StopWorker(); break;
    case IDC_BROWSE: BrowseTarget(); break;
    case IDC_PRODUCT_CHOOSE:
    case IDC_PRODUCT_PROGRESS:
    case IDC_PRODUCT_REPORT: LaunchRecoveryProduct(); break;
    case IDC_START: StartRecovery(); break;
    case IDC_OPEN_FOLDER:
    case IDC_FOLDER_LINK: OpenTargetFolder(); break;
    default: handled = FALSE; break;
    }
    return 0;
}

void CRecoverDlg::BrowseTarget() {
    std::wstring folder;
    if (!seams_.BrowseFolder || !seams_.BrowseFolder(Handle(), &folder) || folder.empty()) return;
    if (folder.back() != L'\\') folder += L'\\';
    folder += kTargetFolderName;
    folder += L"\\";
    SetTargetText(folder);
    target_ = folder;
    targetAnsi_ = platform::WideToAnsi(target_);
    ShowDriveHint(folder[0]);
}

bool CRecoverDlg::IsValidPathChars(const std::wstring& path) {
    for (size_t i = 0; i + 1 < path.size(); ++i) {
        if (path[i] == L'\\' && (path[i + 1] == L' ' || path[i + 1] == L'\\')) return false;
    }
    for (size_t i = 2; i < path.size(); ++i) {
        if (wcschr(L"/:*?<>|\"", path[i]) != nullptr) return false;
    }
    return true;
}

bool CRecoverDlg::OnSourceVolume(const std::wstring& path) const {
    const std::wstring target = VolumeOf(path);
    if (target.empty()) return false;
    for (const std::wstring& root : sourceRoots_) {
        if (_wcsicmp(VolumeOf(root).c_str(), target.c_str()) == 0) return true;
    }
    return false;
}

bool CRecoverDlg::ValidateTarget(const std::wstring& path) {
    const std::string ansi = platform::WideToAnsi(path);
    if (ansi.size() >= MAX_PATH) {
        Message(36);
        return false;
    }
    if (path.empty()) {
        Message(37);
        return false;
    }
    const wchar_t letter = UpperAscii(path[0]);
    if (path.size() < 3 || path[1] != L':' || path[2] != L'\\' || letter < L'A' || letter > L'Z') {
        Message(38);
        return false;
    }
    // A character the system code page cannot hold would reach the scanner as
    // something else.
    if (!IsValidPathChars(path) || platform::AnsiToWide(ansi) != path) {
        Message(39);
        return false;
    }
    for (const std::wstring& root : sourceRoots_) {
        if (!root.empty() && UpperAscii(root[0]) == letter) {
            Message(40);
            return false;
        }
    }
    const std::wstring drive = std::wstring(1, letter) + L":";
    if (Drives().DriveType(drive + L"\\") == DRIVE_CDROM) {
        Message(43);
        return false;
    }
    // A drive of a known type that does not answer (a card reader without
    // its card) is as absent as a letter no drive has.
    const UINT type = Drives().DriveType(drive + L"\\");
    if (type == DRIVE_NO_ROOT_DIR || type == DRIVE_UNKNOWN || !Drives().CanOpenVolume(letter)) {
        Message(44);
        return false;
    }
    // Folder mounts can put another drive letter on a source volume.
    if (OnSourceVolume(path)) {
        Message(40);
        return false;
    }
    GetAppContext()->RecoverySpaceNeed = SectorsFor(totalSize_);
    if (!HasEnoughFreeSpace(path.c_str(), *GetAppContext(), nullptr, Drives())) {
        Message(41);
        return false;
    }
    return true;
}

void CRecoverDlg::StartRecovery() {
    if (worker_.IsStarted()) {
        Message(57);
        return;
    }
    std::wstring text;
    if (edit_) {
        const int length = ::GetWindowTextLengthW(edit_);
        text.resize(static_cast<size_t>(length) + 1);
        text.resize(static_cast<size_t>(::GetWindowTextW(edit_, &text[0], length + 1)));
    }
    if (!text.empty() && text.back() != L'\\') text += L'\\';
    if (!text.empty()) {
        SetTargetText(text);
        ShowDriveHint(text[0]);
    }
    if (!ValidateTarget(text)) return;
    target_ = text;
    targetAnsi_ = platform::WideToAnsi(target_);

    SetItemVisible(IDC_CHOOSE_PANEL, FALSE);
    SetItemVisible(IDC_PROGRESS_PANEL, TRUE);
    position_ = 0;
    recovered_ = 0;
    done_ = false;
    runRecorded_ = false;
    SetItemText(IDC_CURRENT_PATH, items_.empty() ? L"" : platform::AnsiToWide(items_[0].Path).c_str());

    stop_.Reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!stop_ || !worker_.Start(&CRecoverDlg::RecoverThreadProc, this)) {
        platform::TraceLastError("recovery: starting the worker");
        done_ = true;  // the next tick shows an empty report
    }
    ::SetTimer(Handle(), IDT_RECOVER_PROGRESS, 100, nullptr);
}

unsigned __stdcall CRecoverDlg::RecoverThreadProc(void* dialog) {
    static_cast<CRecoverDlg*>(dialog)->RunRecovery();
    return 0;
}

void CRecoverDlg::RunRecovery() {
    unsigned count = 0;
    if (scanner_ && library_.Get()) {
        std::vector<char> folder(MAX_PATH, '\0');
        for (size_t c = 0; c < items_.size(); ++c) {
            if (::WaitForSingleObject(stop_.Get(), 0) == WAIT_OBJECT_0) break;
            position_ = c;
            // The scanner may write into its folder buffer: hand it a fresh copy.
            std::fill(folder.begin(), folder.end(), '\0');
            memcpy(folder.data(), targetAnsi_.c_str(), targetAnsi_.size());
            if (scanner_->RecoverFile(items_[c].Path.c_str(), folder.data(), items_[c].Hint) == 0) {
                ++count;
                recovered_ = count;
            }
        }
    }
    recovered_ = count;
    done_ = true;
}

unsigned CRecoverDlg::ProgressPercent(uint64_t recoveredUnits, uint64_t totalBytes) {
    const uint64_t totalUnits = totalBytes / 512;
    if (totalUnits == 0) return recoveredUnits > 0 ? 100 : 0;
    const uint64_t percent = recoveredUnits * 100 / totalUnits;
    return percent > 100 ? 100 : static_cast<unsigned>(percent);
}

LRESULT CRecoverDlg::OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
    if (wParam != IDT_RECOVER_PROGRESS) {
        handled = FALSE;
        return 0;
    }
    if (done_) {
        SetItemIntAttribute(IDC_PROGRESS, "value", 100);
        CollectWorker();
        ShowReport();
        ::KillTimer(Handle(), IDT_RECOVER_PROGRESS);
        done_ = false;
        position_ = 0;
        return 0;
    }
    const size_t position = position_;
    if (position < items_.size()) SetItemText(IDC_CURRENT_PATH, platform::AnsiToWide(items_[position].Path).c_str());
    const DWORD units = scanner_ ? scanner_->GetRecoveredSectors() : 0;
    SetItemIntAttribute(IDC_PROGRESS, "value", static_cast<int>(ProgressPercent(units, totalSize_)));
    return 0;
}

void CRecoverDlg::ShowReport() {
    SetItemVisible(IDC_PROGRESS_PANEL, FALSE);
    SetItemVisible(IDC_REPORT_PANEL, TRUE);
    const std::wstring format = Str(46);
    wchar_t line[128] = {};
    _snwprintf(line, 127, format.c_str(), recovered_.load());
    SetItemText(IDC_REPORT_COUNT, line);
    SetItemText(IDC_FOLDER_LINK, target_.c_str());
}

void CRecoverDlg::CollectWorker() {
    if (worker_.IsStarted()) {
        worker_.Join();
        worker_.Close();
    }
    // Each run is counted once, however the dialog learns that it ended.
    if (runRecorded_) return;
    runRecorded_ = true;
    if (seams_.Recovered) seams_.Recovered(recovered_.load());
}

void CRecoverDlg::ReleaseScanner() {
    if (scanner_) {
        scanner_->Release();
        scanner_ = nullptr;
    }
    library_.Reset();
}

void CRecoverDlg::StopWorker() {
    if (worker_.IsStarted()) {
        // The dialog stays; the next tick shows what was recovered so far.
        ::SetEvent(stop_.Get());
        CollectWorker();
        stop_.Close();
        done_ = true;
        return;
    }
    stop_.Close();
    ReleaseScanner();
    EndDialog(2);
}

void CRecoverDlg::OpenTargetFolder() {
    if (seams_.OpenFolder && !target_.empty()) seams_.OpenFolder(target_);
    EndDialog(1);
}

bool CRecoverDlg::StartRecoveryProduct() {
    const std::wstring program = ReadProductPath();
    if (program.empty() || !::PathFileExistsW(program.c_str())) return false;
    if (seams_.StartProgram && seams_.StartProgram(program)) return true;
    wchar_t text[MAX_PATH + 128] = {};
    _snwprintf(text, MAX_PATH + 127, Str(45).c_str(), program.c_str());
    Message(45, text);
    return false;
}

void CRecoverDlg::LaunchRecoveryProduct() {
    bool started = StartRecoveryProduct();
    if (!started) {
        // The module library downloads and installs it when it can: start
        // what it left. Whether or not an install was tried, the state says
        // whether the product runs now.
        if (seams_.InstallProduct && seams_.InstallProduct(Handle())) started = StartRecoveryProduct();
        if (seams_.SiblingInstallState) seams_.SiblingInstallState(started ? 1 : 0);
    }
    if (seams_.SiblingRun) seams_.SiblingRun();
    // A worker that has ended but was not collected yet by the timer is
    // collected here; a running one keeps the dialog open.
    if (!started || worker_.IsRunning()) return;
    CollectWorker();
    EndDialog(1);
}
