// The installer object's shortcut maker: one link file through the shell's
// link object. The thread has joined COM before the run.

#include "core/Install.h"

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

namespace
{

// The shell link object and the two interfaces used on it.
const CLSID kClsidShellLink = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidShellLinkW = {0x000214F9, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

} // namespace

int CInstall::CreateShortcut(const wch* target, const wch* linkPath, const wch* description,
                             const wch* iconPath, int iconIndex)
{
    IShellLinkW* link = 0;
    if (FAILED(CoCreateInstance(kClsidShellLink, 0, CLSCTX_INPROC_SERVER, kIidShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return 0;

    // Once the link can be saved the shortcut counts as made; the setters'
    // and the save's own answers are not asked.
    (void)link->SetPath(target);
    (void)link->SetDescription(description);
    if (iconPath)
        (void)link->SetIconLocation(iconPath, iconIndex);

    IPersistFile* file = 0;
    if (FAILED(link->QueryInterface(kIidPersistFile, reinterpret_cast<void**>(&file))))
    {
        link->Release();
        return 0;
    }
    (void)file->Save(linkPath, TRUE);
    file->Release();
    link->Release();
    return 1;
}
