#include "tests/module_update/update_fixture.h"
#include "module/partner_installer.h"
#include "module/update_launcher.h"

using namespace update_test;
using testing_support::PathExists;
using testing_support::ReadFileBytes;

namespace {

TEST(PartnerInstaller, RunsTheCompleteInstallerOnceFromAFolderWithBlanks) {
    const std::string stub = ReadFileBytes(StubProgram());
    ASSERT_EQ(0u, stub.find("MZ"));
    Publish("download/ZophSetup.exe", stub);
    TempDir dir;
    const std::wstring folder = dir.File(L"with blanks here\\");
    const std::wstring setup = folder + L"zoph\\setup.exe";
    const std::wstring log = folder + L"zoph\\installed.txt";

    // Cut short (the server announces more than it sends), or not a program:
    // nothing runs and nothing stays.
    const struct {
        std::string url;
    } refused[] = {{"/trunc/srv/download/ZophSetup.exe"}, {"/hello"}, {"/srv/download/missing.exe"}};
    for (const auto& r : refused) {
        CPartnerInstallTask task(PartnerLocation{Wide(TestServer::Instance()->Url(r.url)), folder});
        EXPECT_EQ(E_FAIL, InstallPartnerProduct(task, task.Partner)) << r.url;
        EXPECT_FALSE(PathExists(setup)) << r.url;
    }
    EXPECT_FALSE(PathExists(log));
    Requests();

    CPartnerInstallTask task(PartnerLocation{Wide(TestServer::Instance()->Url("/srv/download/ZophSetup.exe")), folder});
    EXPECT_EQ(0u, PartnerInstallerThread(&task));
    EXPECT_EQ(stub, ReadFileBytes(setup));
    // Started once, silently, by its quoted path; the installer had ended when the call returned.
    EXPECT_EQ("\"" + std::string(setup.begin(), setup.end()) + "\" /S\r\n", ReadFileBytes(log));
    const std::vector<std::string> asked = Requests();
    ASSERT_EQ(1u, asked.size());
    EXPECT_EQ(0u, asked[0].find("/srv/download/ZophSetup.exe"));
}

TEST(PartnerInstaller, CancelStopsTheDownload) {
    std::string big(200 * 1024, 'x');
    big[0] = 'M';
    big[1] = 'Z';
    Publish("download/Slow.exe", big);
    TempDir dir;
    CPartnerInstallTask task(PartnerLocation{Wide(TestServer::Instance()->Url("/slow/srv/download/Slow.exe")),
                                             dir.Path() + L"\\"});
    struct Cancel : IUpdateNotify {
        int STDMETHODCALLTYPE OnProgress(const wchar_t*, int, int) override { return ++calls < 3; }
        int STDMETHODCALLTYPE OnFinished(int) override { return 1; }
        int calls = 0;
    } notify;
    EXPECT_EQ(UPD_S_CANCELLED, RunWithProgress(&PartnerInstallerThread, task, &notify));
    EXPECT_FALSE(PathExists(dir.File(L"zoph\\setup.exe")));
}

} // namespace
