// The search program's entry: one explicit sequence from the process entry
// to the exit -- the engine is constructed, the run goes through start-up,
// the message loop and the window teardown, then the exit steps.
#include <windows.h>
#include <objbase.h>
#include <gdiplus.h>

#include <memory>

#include "index/app_context.h"
#include "index/index_manager.h"
#include "platform/message_loop.h"
#include "platform/trace.h"
#include "shell/app_startup.h"
#include "shell/main_shell.h"
#include "shell/module_binding.h"
#include "shell/stat_report.h"
#include "ui/bkfontpool.h"
#include "ui/bkresmanager.h"
#include "ui/bkskin.h"
#include "ui/bkstring.h"
#include "ui/bkstyle.h"
#include "ui/bkwinmanager.h"

namespace {

const wchar_t kInstanceMutexName[] = L"{9DA622A2-92E2-4e0f-87F4-F1FFAA7D0A04}";

// What the exit steps must know about the run.
struct AppRun {
    std::unique_ptr<CIndexManager> manager;
    ULONG_PTR gdiplusToken = 0;
    bool gdiplusStarted = false;
    bool comStarted = false;
};

// 0 when start-up ended early (second instance, pending deferred update),
// 1 after the message loop ended.
int RunApplication(AppRun& run) {
    // Kept open for the whole process: it marks the running instance.
    HANDLE mutex = ::CreateMutexW(nullptr, TRUE, kInstanceMutexName);
    if (mutex && ::GetLastError() == ERROR_ALREADY_EXISTS) return 0;

    if (CheckUpdateAtStartup() == 0) return 0;

    run.comStarted = SUCCEEDED(::CoInitialize(nullptr));

    CAppContext* context = GetAppContext();
    if (!context->Instance && run.manager->Instance) context->Instance = run.manager->Instance;
    context->IndexManager = run.manager.get();
    // The index files live beside the program whatever folder we were
    // started in (the service starts us in a folder of its own).
    run.manager->SetIndexFolder(context->GetModuleDir());

    Gdiplus::GdiplusStartupInput gdiplusInput;  // version 1, no callback, background thread
    run.gdiplusStarted = Gdiplus::GdiplusStartup(&run.gdiplusToken, &gdiplusInput, nullptr) == Gdiplus::Ok;

    BkWinManager windowManager;
    BkFontPool::SetDefaultFont(L"微软雅黑", -12);
    BkResManager::SetResourcePath((context->GetModuleDir() + L"\\res").c_str());
    BkSkin::LoadSkins();
    BkStyle::LoadStyles();
    BkString::Load();

    GetStatReport();
    ReportRunEvent();

    run.manager->StartLoad();

    // The loop exists before the windows, so the skinned windows find it to
    // add their message filters.
    platform::MessageLoop loop;
    {
        CMainShell shell;
        if (!shell.CreateShell()) platform::TraceLastError("creating the owner window");
        ::BringWindowToTop(shell.Handle());
        shell.ShowWindow(SW_SHOW);
        loop.Run();
    }
    return 1;
}

void ExitAppInstance(AppRun& run) {
    // On an early end this is the first use of the statistics file: it is
    // rotated and handed to the poster here.
    GetStatReport().WriteExit();
    if (run.gdiplusStarted) Gdiplus::GdiplusShutdown(run.gdiplusToken);
    if (run.comStarted) ::CoUninitialize();
    // Waits for and stops the engine's threads.
    GetAppContext()->IndexManager = nullptr;
    run.manager.reset();
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    AppRun run;
    run.manager = std::make_unique<CIndexManager>();
    // Stored before the run so the windows find the handle in the context.
    run.manager->Instance = instance;
    RunApplication(run);
    ExitAppInstance(run);
    return 0;
}
