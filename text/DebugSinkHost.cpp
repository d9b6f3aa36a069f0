#include "text/DebugSink.h"

#include "text/Utf.h"

#include <stdio.h>

// Host tools have no debugger output; the lines go to standard error.
void WriteDebugLine(const wch* line)
{
    char buffer[256];
    int count = 0;
    while (line[count])
        ++count;
    // Pieces of 80 units: their UTF-8 form (3 bytes a unit at most) fits the buffer.
    int done = 0;
    while (done < count)
    {
        int take = count - done;
        if (take > 80)
            take = 80;
        const int bytes = EncodeUtf8(line + done, take, buffer);
        (void)fwrite(buffer, 1, (size_t)bytes, stderr);
        done += take;
    }
}
