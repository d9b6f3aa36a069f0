// Formats a mix of the program's kind of messages (paths, counts, sizes, an
// error code, a GUID) many times with GString::Format and with swprintf on
// the same inputs, and prints both rates and their ratio.

#include "text/GString.h"

#include <chrono>
#include <stdio.h>
#include <wchar.h>

namespace
{

const int kRounds = 200000;
const int kMessages = 6;

struct Guid
{
    u32 data1;
    u16 data2;
    u16 data3;
    u8 data4[8];
};

const Guid kGuid = { 0x4A8F2C1Du, 0x93B0, 0x4E57, { 0xA1, 0x06, 0x5C, 0x7D, 0x2E, 0x90, 0xB3, 0x48 } };
const wch* const kPath = W("C:\\Program Files\\Klawisz Layout\\Documents\\Readme.html");
const wch* const kFolder = W("C:\\Windows\\System32");
const wch* const kName = W("kbdklawisz");

// The same message with the formatter's directives.
int FormatOne(GString& s, int which, int i)
{
    switch (which)
    {
    case 0:
        return s.Format(W("Cannot open the file %s (error %u)."), kPath, 0x20u + (i & 7));
    case 1:
        return s.Format(W("Copied %d of %d files to %s"), i & 31, 32, kFolder);
    case 2:
        return s.Format(W("Layout %08X registered as %hW"), 0xA0000415u + (u32)(i & 3), &kGuid);
    case 3:
        return s.Format(W("Free space: %.1f MB, needed %.2f MB"), 1234.5 + (i & 15), 3.25);
    case 4:
        return s.Format(W("%s\\%s.dll, %u bytes, checksum %08x"), kFolder, kName, 7168u + (u32)(i & 255), 0x9E3779B9u ^ (u32)i);
    default:
        return s.Format(W("Key %d of %d: scancode %02X, target %04x"), i % 146, 146, (i * 7) & 0x7F, 0xE05B);
    }
}

// The same message with swprintf's directives.
int PrintOne(wchar_t* buffer, size_t room, int which, int i)
{
    switch (which)
    {
    case 0:
        return swprintf(buffer, room, L"Cannot open the file %ls (error %u).", kPath, 0x20u + (i & 7));
    case 1:
        return swprintf(buffer, room, L"Copied %d of %d files to %ls", i & 31, 32, kFolder);
    case 2:
        return swprintf(buffer, room, L"Layout %08X registered as {%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                        0xA0000415u + (u32)(i & 3), kGuid.data1, kGuid.data2, kGuid.data3,
                        kGuid.data4[0], kGuid.data4[1], kGuid.data4[2], kGuid.data4[3],
                        kGuid.data4[4], kGuid.data4[5], kGuid.data4[6], kGuid.data4[7]);
    case 3:
        return swprintf(buffer, room, L"Free space: %.1f MB, needed %.2f MB", 1234.5 + (i & 15), 3.25);
    case 4:
        return swprintf(buffer, room, L"%ls\\%ls.dll, %u bytes, checksum %08x", kFolder, kName, 7168u + (u32)(i & 255), 0x9E3779B9u ^ (u32)i);
    default:
        return swprintf(buffer, room, L"Key %d of %d: scancode %02X, target %04x", i % 146, 146, (i * 7) & 0x7F, 0xE05B);
    }
}

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

} // namespace

int main()
{
    GString s;
    wchar_t buffer[512];

    // Both must produce the same texts, or the comparison means nothing.
    int mismatches = 0;
    for (int which = 0; which < kMessages; ++which)
    {
        for (int i = 0; i < 64; ++i)
        {
            const int ok = FormatOne(s, which, i);
            const int length = PrintOne(buffer, 512, which, i);
            if (!ok || length != s.Length() || wmemcmp(buffer, s.WideText(), (size_t)length) != 0)
                ++mismatches;
        }
    }
    if (mismatches)
    {
        printf("the two formatters disagree on %d messages\n", mismatches);
        return 1;
    }

    long long checksum = 0;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    for (int i = 0; i < kRounds; ++i)
        for (int which = 0; which < kMessages; ++which)
        {
            (void)FormatOne(s, which, i);
            checksum += s.Length();
        }
    const double formatSeconds = Seconds(start);

    start = std::chrono::steady_clock::now();
    for (int i = 0; i < kRounds; ++i)
        for (int which = 0; which < kMessages; ++which)
            checksum -= PrintOne(buffer, 512, which, i);
    const double printSeconds = Seconds(start);

    const double count = (double)kRounds * kMessages;
    const double formatRate = count / formatSeconds;
    const double printRate = count / printSeconds;
    printf("messages: %.0f in a mix of %d kinds (checksum %lld)\n", count, kMessages, checksum);
    printf("GString::Format  %10.0f messages/s  (%.3f s)\n", formatRate, formatSeconds);
    printf("swprintf         %10.0f messages/s  (%.3f s)\n", printRate, printSeconds);
    printf("ratio            %10.2f x swprintf\n", formatRate / printRate);
    return 0;
}
