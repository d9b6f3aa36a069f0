#include "core/Install.h"

#include <objbase.h>

// The program takes no switches and always ends with exit code 0: a run that
// cannot start has no texts or window to explain itself with.
int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR, int)
{
    CInstall install;
    (void)CoInitializeEx(0, COINIT_MULTITHREADED);
    if (install.Init(hInstance) && install.Run()) {
        install.Finish();
        CoUninitialize();
    }
    return 0;
}
