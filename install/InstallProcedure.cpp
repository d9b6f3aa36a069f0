#include "core/Install.h"

const u32 kStringRunKey = 4;
const u32 kStringLauncherName = 71;
const u32 kStringStartupCommand = 50;
const u32 kStringStartupCommandOld = 51;
const i32 kVersionWindows2000 = 50;

int CInstall::SetStartupValue()
{
    u32 command = m_osVersion > kVersionWindows2000 ? kStringStartupCommand : kStringStartupCommandOld;
    return SetMachineString(kStringRunKey, kStringLauncherName, command);
}
