#include "tests/module_update/update_fixture.h"
#include "module/imodule_object.h"
#include "module/module_object.h"

using testing_support::PathExists;

namespace {

std::wstring BuiltLibrary() { return testing_support::UnixToWindowsPath(LUMSEK_DLL_PATH); }

TEST(ModuleLibrary, ExportAnswersOnlyTheModuleInterface) {
    TempDir dir;
    const std::wstring copy = dir.File(L"Lumsek.dll");
    ASSERT_TRUE(::CopyFileW(BuiltLibrary().c_str(), copy.c_str(), FALSE));
    platform::ModuleHandle library(::LoadLibraryW(copy.c_str()));
    ASSERT_TRUE(library);
    auto getClassObject =
        reinterpret_cast<PFN_GetClassObject>(
        reinterpret_cast<void*>(::GetProcAddress(library.Get(), kGetClassObjectExport)));
    ASSERT_NE(nullptr, getClassObject);
    // AutoRun starts lumsek.exe from the library's own folder.
    using AutoRunProc = void(CALLBACK*)(HWND, HINSTANCE, LPSTR, int);
    auto autoRun = reinterpret_cast<AutoRunProc>(reinterpret_cast<void*>(::GetProcAddress(library.Get(), "AutoRun")));
    ASSERT_NE(nullptr, autoRun);
    ASSERT_TRUE(::CopyFileW(update_test::StubProgram().c_str(), dir.File(L"lumsek.exe").c_str(), FALSE));
    char noArguments[] = "";
    autoRun(nullptr, nullptr, noArguments, SW_SHOWNORMAL);
    EXPECT_TRUE(update_test::WaitForFile(dir.File(L"started.txt")));

    EXPECT_EQ(E_INVALIDARG, getClassObject(IID_IModuleObject, nullptr));
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, getClassObject(IID_IUnknown, &out));
    EXPECT_EQ(nullptr, out);
    ASSERT_EQ(S_OK, getClassObject(IID_IModuleObject, &out));
    ASSERT_NE(nullptr, out);
    auto* object = static_cast<IModuleObject*>(out);

    for (unsigned i = 0; i < 9; ++i) EXPECT_EQ(S_OK, object->IsMethodSupported(i)) << i;
    EXPECT_EQ(E_NOINTERFACE, object->IsMethodSupported(9));
    EXPECT_EQ(E_NOINTERFACE, object->IsMethodSupported(static_cast<unsigned>(-1)));
    // The object itself takes IUnknown.
    EXPECT_EQ(E_INVALIDARG, object->QueryInterface(IID_IUnknown, nullptr));
    void* unknown = nullptr;
    ASSERT_EQ(S_OK, object->QueryInterface(IID_IUnknown, &unknown));
    EXPECT_EQ(out, unknown);
    EXPECT_EQ(1u, object->Release());
    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, object->QueryInterface(IID_IClassFactory, &other));
    EXPECT_EQ(nullptr, other);
    EXPECT_EQ(S_OK, object->Reserved1(0, 0));
    EXPECT_EQ(0u, object->Release());
}

TEST(ModuleObject, ReportReturnsAtOnceAndReleaseDoesNotWaitForAnUnreachableServer) {
    ModuleConfig config;
    config.StatHost = L"127.0.0.1:" + std::to_wstring(ClosedLoopbackPort());
    TempDir dir;
    config.Update = UpdateLocation{dir.Path() + L"\\", update_test::ServerUrl("/srv/none")};
    auto* object = new CModuleObject(config);
    EXPECT_EQ(S_OK, object->Report(L"run", L"ctime=1"));
    EXPECT_EQ(S_OK, object->Report(nullptr, nullptr));
    EXPECT_EQ(0u, object->Release());
}

TEST(ModuleObject, BackgroundUpdateReplacesFilesOnItsOwnThread) {
    using namespace update_test;
    const std::string channel = "bg/lumsek/update/lumsek/";
    Publish(channel + "indexlumsek.dat", Pack(PublishLeaf(channel, "", {{"f", "bg.txt", "background new", "", ""}})));
    TempDir dir;
    testing_support::WriteFileBytes(dir.File(L"bg.txt"), "old");
    ModuleConfig config;
    config.StatHost = L"127.0.0.1:" + std::to_wstring(ClosedLoopbackPort());
    config.Update = UpdateLocation{dir.Path() + L"\\", ServerUrl("/srv/bg")};
    IModuleObject* object = new CModuleObject(config);
    EXPECT_EQ(S_OK, object->UpdateInBackground());
    // The poll reads bg.txt while the run replaces it: a reader that shares
    // delete does not count as a program using the file.
    EXPECT_TRUE(testing_support::PumpMessagesUntil(
        [&] { return testing_support::ReadFileBytes(dir.File(L"bg.txt")) == "background new"; }, 20000));
    // Replaced by the run itself, nothing left to the re-update program.
    EXPECT_FALSE(PathExists(dir.File(L"update\\pemour.dat")));
    EXPECT_EQ(0u, object->Release());
}

} // namespace
