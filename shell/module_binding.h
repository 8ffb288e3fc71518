#pragma once
// The module library "Lumsek.dll", loaded from the program folder at run time,
// and the IModuleObject it hands out. Both are kept for the whole run. Every
// use asks the object whether the method is there first; a missing library,
// export or method skips the use without a message.
#include <windows.h>

#include <string>

#include "module/imodule_object.h"

// The library's path beside the program at `programPath`; false (and no
// path) when the program path or the library path would not fit MAX_PATH,
// so a cut path can never load some other file.
bool ModuleLibraryPath(const std::wstring& programPath, std::wstring* libraryPath);

class CModuleBinding {
public:
    // Empty: "Lumsek.dll" beside the running program.
    explicit CModuleBinding(std::wstring libraryPath = std::wstring());
    CModuleBinding(const CModuleBinding&) = delete;
    CModuleBinding& operator=(const CModuleBinding&) = delete;

    // Loads the library and asks its GetClassObject for the object; the
    // handle is stored also when null, so a failed load is tried again at
    // the next use.
    void Bind();

    HMODULE Library() const { return library_; }
    IModuleObject* Object() const { return object_; }

    // The library and the object exist and the object does not answer
    // E_NOINTERFACE for the method index.
    bool IsMethodPresent(unsigned index) const;

    // Each answers whether the method was called.
    bool Report(const wchar_t* event, const wchar_t* params) const;
    // The re-update program was asked to start and said it did.
    bool LaunchReupdate() const;
    // 0 after starting the update thread; E_NOINTERFACE when the library,
    // object or method is missing; the thread creation's failure otherwise.
    HRESULT StartBackgroundUpdate() const;

private:
    static DWORD WINAPI BackgroundUpdateThreadProc(void* object);

    std::wstring libraryPath_;
    HMODULE library_ = nullptr;
    IModuleObject* object_ = nullptr;
};

// The run's binding; binds first while the library is not loaded.
CModuleBinding& GetModuleBinding();

// The module events of the run: "run" at start-up, "bootstart" when the
// auto-start setting is confirmed.
void ReportRunEvent();
void ReportBootStartEvent(bool startAtBoot);
