#include "text/DebugSink.h"

#include <windows.h>

void WriteDebugLine(const wch* line)
{
    OutputDebugStringW(line);
}
