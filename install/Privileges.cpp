// The installer object's rights: whether the Administrators group is in
// effect for this process, and the restart that puts the new layout library
// and the key remapping into force. The restart runs after the string tables
// are gone, so the privilege name is the platform's own constant.

#include "core/Install.h"

namespace
{

const DWORD kShutdownTimeoutNone = 0;
// Planned, operating system, reconfiguration.
const DWORD kShutdownReason = 0x80020004;

} // namespace

int CInstall::IsUserAdmin()
{
    SID_IDENTIFIER_AUTHORITY ntAuthority = {SECURITY_NT_AUTHORITY};
    PSID administrators = 0;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0,
                                  0, 0, &administrators))
        return 0;
    // A group present only for deny (a process that is not elevated) does
    // not count.
    BOOL member = FALSE;
    if (!CheckTokenMembership(0, administrators, &member))
        member = FALSE;
    FreeSid(administrators);
    return member ? 1 : 0;
}

int CInstall::RestartSystem()
{
    HANDLE token = 0;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return 0;

    int result = 0;
    TOKEN_PRIVILEGES privileges;
    ZeroMemory(&privileges, sizeof(privileges));
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (LookupPrivilegeValueW(0, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid))
    {
        SetLastError(ERROR_SUCCESS);
        (void)AdjustTokenPrivileges(token, FALSE, &privileges, 0, 0, 0);
        // ERROR_NOT_ALL_ASSIGNED: the user holds no shutdown privilege.
        if (GetLastError() == ERROR_SUCCESS)
        {
            wchar_t noMessage[] = L"";
            result = InitiateSystemShutdownExW(0, noMessage, kShutdownTimeoutNone, FALSE, TRUE, kShutdownReason) ? 1
                                                                                                              : 0;
        }
    }
    CloseHandle(token);
    return result;
}
