#include "core/Install.h"

#include "ui/Wizard.h"

int CInstall::ShowMessageId(u32 textId, u32 style)
{
    // Before the main window exists the box has no owner.
    return m_wizard ? m_wizard->ShowMessageId(textId, style) : 0;
}
