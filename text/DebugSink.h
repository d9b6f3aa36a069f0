#pragma once

// Where GString::DebugOutput sends its lines. On Windows the default sink is
// the debugger output; elsewhere it is standard error.

#include "text/Types.h"

typedef void (*DebugSinkFn)(const wch* line);

// The platform's sink (text/DebugSink.cpp on Windows, text/DebugSinkHost.cpp elsewhere).
void WriteDebugLine(const wch* line);

// Replace the sink (null restores the platform's); returns the previous one.
DebugSinkFn SetDebugSink(DebugSinkFn sink);
