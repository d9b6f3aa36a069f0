// Beside a program under a system program's name, this shows whether it was
// started in that program's place: it writes its own path plus ".ran".

#include <windows.h>

int main()
{
    wchar_t path[MAX_PATH + 8];
    DWORD length = GetModuleFileNameW(0, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return 1;
    lstrcatW(path, L".ran");
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    CloseHandle(file);
    return 0;
}
