// The installer object's file-system and process operations: special and
// temporary folders, files written from texts and payload items, deletion
// now or at the next restart, started commands, file associations, and the
// optional platform functions looked up by name.

#include "core/Install.h"

#include <shlobj.h>
#include <shlwapi.h>
#include <stdarg.h>
#include <stdlib.h>

namespace
{

const int kSpecialFolderRoom = 261;
const int kSystemFolderRoom = 261;
const int kTempFolderRoom = 772;
const DWORD kTempFolderAnnounced = 771;
const int kTempFileRoom = 261;
const int kAssocRoom = 2048;
const DWORD kCommandWaitMs = 1000;
const u32 kStringKernelLibrary = 144;
const u32 kStringRedirectionDisable = 56;
const u32 kStringRedirectionRevert = 57;

int IsEmptyText(const wch* text)
{
    return !text || !text[0];
}

int IsSeparator(wch ch)
{
    return ch == W('\\') || ch == W('/');
}

// A drive path (C:\...) or a network path (\\server\...): the only forms
// that name one file without any search.
int IsFullPath(const wch* path, int length)
{
    if (length >= 3 && path[1] == W(':') && IsSeparator(path[2]))
    {
        wch drive = path[0];
        return (drive >= W('A') && drive <= W('Z')) || (drive >= W('a') && drive <= W('z'));
    }
    return length >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]);
}

template <typename T> T ProcAs(FARPROC proc)
{
    return reinterpret_cast<T>(reinterpret_cast<void (*)()>(proc));
}

} // namespace

int CInstall::GetSpecialFolder(int csidl, GString& out)
{
    out.ClearWide();
    wch* buffer = out.WideBuffer(kSpecialFolderRoom);
    if (!buffer)
        return 0;
    buffer[0] = 0;
    if (!SHGetSpecialFolderPathW(GetOwnerWindow(), buffer, csidl, FALSE))
    {
        out.Clear();
        return 0;
    }
    out.SetLength(-1);
    return 1;
}

int CInstall::GetSystemFolder(GString& out)
{
    out.ClearWide();
    wch* buffer = out.WideBuffer(kSystemFolderRoom);
    if (!buffer)
        return 0;
    UINT length = GetSystemDirectoryW(buffer, kSystemFolderRoom);
    if (length == 0 || length >= static_cast<UINT>(kSystemFolderRoom))
    {
        out.Clear();
        return 0;
    }
    out.SetLength(static_cast<int>(length));
    return 1;
}

HANDLE CInstall::CreateFileForWrite(const wch* path)
{
    if (IsEmptyText(path))
        return 0;
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    return file;
}

int CInstall::WriteBytes(HANDLE file, const void* data, u32 size)
{
    if (!file || !data || !size)
        return 0;
    DWORD written = 0;
    if (!WriteFile(file, data, size, &written, 0))
        return 0;
    return written == size;
}

int CInstall::WriteText(HANDLE file, GString& text)
{
    if (!file || text.IsEmpty())
        return 0;
    const char* bytes = text.MakeNarrow(-1);
    if (!bytes)
        return 0;
    return WriteBytes(file, bytes, static_cast<u32>(text.Length()));
}

int CInstall::WriteItemToFile(const wch* path, const void* item, u32 itemSize)
{
    u32 size = itemSize;
    u32 userValue = 0;
    void* data = m_guard.DecodeItem(item, size, &userValue);
    if (!data)
        return 0;

    int written = 0;
    HANDLE file = CreateFileForWrite(path);
    if (file)
    {
        written = WriteBytes(file, data, size);
        CloseHandle(file);
    }
    free(data);
    return written;
}

int CInstall::DeleteOrSchedule(const wch* path)
{
    if (IsEmptyText(path))
        return 0;
    if (DeleteFileW(path))
        return 1;
    if (GetLastError() == ERROR_FILE_NOT_FOUND)
        return 1;
    // In use, locked, or its folder is missing: let the platform remove it
    // at the next restart.
    return MoveFileExW(path, 0, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

int CInstall::DeleteOrSchedule(GString& path)
{
    if (path.IsEmpty())
        return 0;
    return DeleteOrSchedule(path.MakeWide(-1));
}

int CInstall::EnsureFolder(const wch* path)
{
    if (IsEmptyText(path))
        return 0;
    if (CreateDirectoryW(path, 0))
        return 1;
    if (GetLastError() != ERROR_ALREADY_EXISTS)
        return 0;
    // A file of that name is no folder to put things in.
    DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int CInstall::RemoveFolder(GString& path)
{
    if (path.IsEmpty())
        return 0;
    const wch* text = path.MakeWide(-1);
    if (!text)
        return 0;
    return RemoveDirectoryW(text) != 0;
}

int CInstall::GetTempFolder(GString& out)
{
    out.ClearWide();
    wch* buffer = out.WideBuffer(kTempFolderRoom);
    if (!buffer)
        return 0;
    DWORD length = GetTempPathW(kTempFolderAnnounced, buffer);
    if (length == 0 || length >= static_cast<DWORD>(kTempFolderRoom))
    {
        out.Clear();
        return 0;
    }
    out.SetLength(static_cast<int>(length));
    return 1;
}

int CInstall::MakeTempFile(GString& out, u32 prefixId, const wch* folder)
{
    if (!prefixId)
        return 0;
    GString prefix;
    if (!GetString(prefixId, prefix))
        return 0;
    GString tempFolder;
    if (!folder)
    {
        if (!GetTempFolder(tempFolder))
            return 0;
        folder = tempFolder.WideText(0);
    }

    GString name;
    name.ClearWide();
    wch* buffer = name.WideBuffer(kTempFileRoom);
    if (!buffer)
        return 0;
    if (!GetTempFileNameW(folder, prefix.WideText(0), 0, buffer))
        return 0;
    name.SetLength(-1);
    return out.Append(name);
}

int CInstall::RunCommand(u32 formatId, ...)
{
    if (!formatId)
        return 0;
    // The format is held apart from m_scratch: an argument may be its text.
    GString format;
    if (!GetString(formatId, format))
        return 1;

    GString commandLine;
    commandLine.ClearWide();
    va_list args;
    va_start(args, formatId);
    int built = commandLine.AppendFormatV(format.WideText(0), args);
    va_end(args);
    if (built)
        (void)RunCommandLine(commandLine);
    return 1;
}

int CInstall::RunCommandLine(GString& commandLine)
{
    GString program;
    if (!PinProgramToSystemFolder(commandLine, program))
        return 0;

    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof(process));
    // The program is named outright, so the platform searches no folder
    // (least of all the one this program was started from).
    wch* line = static_cast<wch*>(commandLine.Terminate());
    if (!CreateProcessW(program.WideText(0), line, 0, 0, FALSE, 0, 0, 0, &startup, &process))
        return 0;
    (void)WaitForSingleObject(process.hProcess, kCommandWaitMs);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 1;
}

int CInstall::PinProgramToSystemFolder(GString& commandLine, GString& program)
{
    program.ClearWide();
    const wch* line = commandLine.MakeWide(-1);
    if (!line)
        return 0;
    const int length = commandLine.Length();

    int first = 0;
    while (first < length && (line[first] == W(' ') || line[first] == W('\t')))
        ++first;
    int end = first;
    int rest = first;
    if (first < length && line[first] == W('"'))
    {
        ++first;
        end = first;
        while (end < length && line[end] != W('"'))
            ++end;
        if (end == length)
            return 0;
        rest = end + 1;
    }
    else
    {
        while (end < length && line[end] != W(' ') && line[end] != W('\t'))
            ++end;
        rest = end;
    }
    if (end == first)
        return 0;

    if (IsFullPath(line + first, end - first))
        return program.AssignWide(line + first, end - first);

    // A bare or relative name would be searched for, starting in the folder
    // this program was started from: take it from the system folder.
    if (!GetSystemFolder(program) || !program.AppendPath(line + first, end - first))
        return 0;
    GString pinned;
    pinned.ClearWide();
    if (!pinned.AppendChar(W('"')) || !pinned.Append(program) || !pinned.AppendChar(W('"')) ||
        !pinned.AppendWideRaw(line + rest, length - rest))
        return 0;
    return commandLine.Assign(pinned);
}

int CInstall::GetAssociatedProgram(u32 extensionId, GString& out)
{
    out.ClearWide();
    GString extension;
    if (!GetString(extensionId, extension))
        return 0;
    wch* buffer = out.WideBuffer(kAssocRoom);
    if (!buffer)
        return 0;
    buffer[0] = 0;
    DWORD room = kAssocRoom;
    HRESULT result = AssocQueryStringW(0, ASSOCSTR_EXECUTABLE, extension.WideText(0), 0, buffer, &room);
    if (FAILED(result))
    {
        out.Clear();
        return 0;
    }
    out.SetLength(-1);
    return 1;
}

int CInstall::AssociatedProgramContains(u32 extensionId, u32 needleId)
{
    GString extension;
    if (!GetString(extensionId, extension))
        return 0;
    GString program;
    program.ClearWide();
    wch* buffer = program.WideBuffer(kAssocRoom);
    if (!buffer)
        return 0;
    buffer[0] = 0;
    DWORD room = kAssocRoom;
    HRESULT result = AssocQueryStringW(0, ASSOCSTR_EXECUTABLE, extension.WideText(0), 0, buffer, &room);

    // The second answer decides; the first only tells how much room it needs.
    DWORD announced = kAssocRoom;
    if (result == E_POINTER && room > static_cast<DWORD>(kAssocRoom))
    {
        buffer = program.WideBuffer(static_cast<int>(room));
        if (!buffer)
            return 0;
        announced = room;
    }
    buffer[0] = 0;
    room = announced;
    result = AssocQueryStringW(0, ASSOCSTR_EXECUTABLE, extension.WideText(0), 0, buffer, &room);
    if (FAILED(result))
        return 0;
    program.SetLength(-1);
    (void)program.MakeUpper();

    GString needle;
    if (!GetString(needleId, needle))
        return 0;
    return program.FindWide(needle.WideText(0), 0, needle.Length()) >= 0;
}

int CInstall::OpenWithAssociatedProgram(u32 extensionId, u32 formatId, const wch* argument)
{
    GString program;
    if (!GetAssociatedProgram(extensionId, program))
        return 0;
    return RunCommand(formatId, program.WideText(0), argument);
}

HMODULE CInstall::LoadLibraryById(u32 libraryId)
{
    if (!GetString(libraryId, m_scratch) || m_scratch.IsEmpty())
        return 0;
    return LoadLibraryW(m_scratch.WideText(0));
}

FARPROC CInstall::GetProcById(u32 nameId, u32 libraryId, HMODULE& module)
{
    if (!module)
    {
        module = LoadLibraryById(libraryId);
        if (!module)
            return 0;
    }
    GString name;
    if (!GetString(nameId, name) || name.IsEmpty())
        return 0;
    const char* narrow = name.MakeNarrow(-1);
    if (!narrow)
        return 0;
    return GetProcAddress(module, narrow);
}

HMODULE CInstall::GetRedirectionSwitch(RedirectionDisableProc& disable, RedirectionRevertProc& revert)
{
    disable = 0;
    revert = 0;
    HMODULE module = LoadLibraryById(kStringKernelLibrary);
    if (!module)
        return 0;
    FARPROC disableProc = GetProcById(kStringRedirectionDisable, kStringKernelLibrary, module);
    FARPROC revertProc = GetProcById(kStringRedirectionRevert, kStringKernelLibrary, module);
    if (!disableProc || !revertProc)
    {
        FreeLibrary(module);
        return 0;
    }
    disable = ProcAs<RedirectionDisableProc>(disableProc);
    revert = ProcAs<RedirectionRevertProc>(revertProc);
    return module;
}

int CInstall::LoadTextItem(const void* item, u32 itemSize, GString& out)
{
    if (!item || !itemSize)
        return 0;
    u32 size = itemSize;
    u32 userValue = 0;
    void* data = m_guard.DecodeItem(item, size, &userValue);
    if (!data)
        return 0;

    const u8* bytes = static_cast<const u8*>(data);
    u32 skip = 0;
    if (size > 2 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF)
        skip = 3;
    int assigned = out.AssignNarrow(reinterpret_cast<const char*>(bytes + skip), static_cast<int>(size - skip), 0);
    free(data);
    return assigned;
}
