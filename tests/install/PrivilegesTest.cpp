#include "core/Install.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace
{

// The platform's own answer, through the well-known group, to compare with.
int AdministratorsInEffect()
{
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof(sid);
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, 0, sid, &size))
        return -1;
    BOOL member = FALSE;
    if (!CheckTokenMembership(0, sid, &member))
        return -1;
    return member ? 1 : 0;
}

// Attributes of the shutdown privilege in the process token; -1 when the
// token does not hold it.
long ShutdownPrivilegeAttributes()
{
    HANDLE token = 0;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return -1;
    LUID shutdown;
    long attributes = -1;
    DWORD size = 0;
    GetTokenInformation(token, TokenPrivileges, 0, 0, &size);
    std::vector<BYTE> buffer(size ? size : 1);
    if (LookupPrivilegeValueW(0, SE_SHUTDOWN_NAME, &shutdown) &&
        GetTokenInformation(token, TokenPrivileges, buffer.data(), size, &size))
    {
        const TOKEN_PRIVILEGES* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
        for (DWORD i = 0; i < privileges->PrivilegeCount; ++i)
        {
            const LUID& luid = privileges->Privileges[i].Luid;
            if (luid.LowPart == shutdown.LowPart && luid.HighPart == shutdown.HighPart)
                attributes = static_cast<long>(privileges->Privileges[i].Attributes);
        }
    }
    CloseHandle(token);
    return attributes;
}

TEST(Privileges, IsUserAdmin_AgreesWithThePlatformsAdministratorsCheck)
{
    CInstall install;
    const int expected = AdministratorsInEffect();
    ASSERT_NE(expected, -1);
    EXPECT_EQ(install.IsUserAdmin(), expected);
}

TEST(Privileges, IsUserAdmin_AnswersYesForTheTestPrefixUser)
{
    // Wine runs every program with the Administrators group in effect.
    CInstall install;
    EXPECT_EQ(install.IsUserAdmin(), 1);
}

TEST(Privileges, IsUserAdmin_AnswersNoWhenTheGroupIsPresentForDenyOnly)
{
    // A restricted copy of the token with Administrators for deny only, as
    // for a process that is not elevated; the thread impersonates it.
    HANDLE token = 0;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY | TOKEN_IMPERSONATE, &token));
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof(sid);
    ASSERT_TRUE(CreateWellKnownSid(WinBuiltinAdministratorsSid, 0, sid, &size));
    SID_AND_ATTRIBUTES denied = {sid, 0};
    HANDLE restricted = 0;
    ASSERT_TRUE(CreateRestrictedToken(token, 0, 1, &denied, 0, 0, 0, 0, &restricted));
    HANDLE impersonation = 0;
    ASSERT_TRUE(DuplicateToken(restricted, SecurityImpersonation, &impersonation));
    ASSERT_TRUE(SetThreadToken(0, impersonation));
    CInstall install;
    const int answer = install.IsUserAdmin();
    const int platform = AdministratorsInEffect();
    ASSERT_TRUE(SetThreadToken(0, 0));
    CloseHandle(impersonation);
    CloseHandle(restricted);
    CloseHandle(token);
    EXPECT_EQ(platform, 0);
    EXPECT_EQ(answer, 0);

    // Back on the process token the group is in effect again.
    EXPECT_EQ(install.IsUserAdmin(), 1);
}

int SetShutdownPrivilege(DWORD attributes)
{
    HANDLE token = 0;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return 0;
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = attributes;
    int done = 0;
    if (LookupPrivilegeValueW(0, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid))
    {
        SetLastError(ERROR_SUCCESS);
        done = AdjustTokenPrivileges(token, FALSE, &privileges, 0, 0, 0) && GetLastError() == ERROR_SUCCESS;
    }
    CloseHandle(token);
    return done;
}

TEST(Privileges, RestartSystem_EnablesTheShutdownPrivilegeAndAsksForTheRestart)
{
    // Wine accepts the request and restarts nothing, so the test can make it.
    ASSERT_TRUE(SetShutdownPrivilege(0));
    ASSERT_EQ(ShutdownPrivilegeAttributes() & SE_PRIVILEGE_ENABLED, 0);
    CInstall install;
    EXPECT_EQ(install.RestartSystem(), 1);
    const long attributes = ShutdownPrivilegeAttributes();
    ASSERT_NE(attributes, -1);
    EXPECT_TRUE(attributes & SE_PRIVILEGE_ENABLED);
}

// Run only inside the child started below: it takes the privilege out of
// its own process token for good.
TEST(PrivilegesChild, DISABLED_RestartSystem_WithoutTheShutdownPrivilege)
{
    ASSERT_TRUE(SetShutdownPrivilege(SE_PRIVILEGE_REMOVED));
    ASSERT_EQ(ShutdownPrivilegeAttributes(), -1);
    CInstall install;
    EXPECT_EQ(install.RestartSystem(), 0);
}

TEST(Privileges, RestartSystem_RefusesForAUserWithoutTheShutdownPrivilege)
{
    wchar_t self[MAX_PATH];
    DWORD length = GetModuleFileNameW(0, self, MAX_PATH);
    ASSERT_GT(length, 0u);
    std::wstring line = L"\"" + std::wstring(self, length) +
                        L"\" --gtest_also_run_disabled_tests"
                        L" --gtest_filter=PrivilegesChild.DISABLED_RestartSystem_WithoutTheShutdownPrivilege";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessW(0, &line[0], 0, 0, FALSE, 0, 0, 0, &startup, &process));
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(exitCode, 0u) << "the child's own test failed: RestartSystem went on without the privilege";
}

} // namespace
