#include "core/Install.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <windows.h>

#include <string>

namespace
{

struct LinkContent
{
    bool loaded = false;
    std::wstring target;
    std::wstring description;
    std::wstring iconPath;
    int iconIndex = -1;
};

// Reads a link file back through the shell's own link object.
LinkContent ReadLink(const std::wstring& path)
{
    LinkContent content;
    IShellLinkW* link = 0;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, 0, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return content;
    IPersistFile* file = 0;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))))
    {
        if (SUCCEEDED(file->Load(path.c_str(), STGM_READ)))
        {
            content.loaded = true;
            wchar_t buffer[MAX_PATH * 2] = {};
            if (SUCCEEDED(link->GetPath(buffer, MAX_PATH * 2, 0, SLGP_RAWPATH)))
                content.target = buffer;
            buffer[0] = 0;
            if (SUCCEEDED(link->GetDescription(buffer, MAX_PATH * 2)))
                content.description = buffer;
            buffer[0] = 0;
            int index = -1;
            if (SUCCEEDED(link->GetIconLocation(buffer, MAX_PATH * 2, &index)))
            {
                content.iconPath = buffer;
                content.iconIndex = index;
            }
        }
        file->Release();
    }
    link->Release();
    return content;
}

bool FileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A folder for link files and their targets; the thread joins COM the way
// the program's entry point does.
class Shortcuts : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_comJoined = SUCCEEDED(CoInitializeEx(0, COINIT_MULTITHREADED));
        wchar_t temp[MAX_PATH];
        std::wstring base(temp, GetTempPathW(MAX_PATH, temp));
        m_folder = base + L"KlawiszTest-Links-" + std::to_wstring(GetCurrentProcessId());
        Clean();
        ASSERT_TRUE(CreateDirectoryW(m_folder.c_str(), 0));
        m_target = m_folder + L"\\guide.html";
        m_otherTarget = m_folder + L"\\chart.html";
        for (const std::wstring& path : {m_target, m_otherTarget})
        {
            HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, 0, CREATE_ALWAYS, 0, 0);
            ASSERT_NE(file, INVALID_HANDLE_VALUE);
            CloseHandle(file);
        }
    }

    void TearDown() override
    {
        Clean();
        if (m_comJoined)
            CoUninitialize();
    }

    void Clean()
    {
        for (const wchar_t* name : {L"\\guide.html", L"\\chart.html", L"\\Guide.lnk", L"\\Plain.lnk"})
            DeleteFileW((m_folder + name).c_str());
        RemoveDirectoryW(m_folder.c_str());
    }

    CInstall m_install;
    bool m_comJoined = false;
    std::wstring m_folder;
    std::wstring m_target;
    std::wstring m_otherTarget;
};

TEST_F(Shortcuts, CreateShortcut_WritesTargetDescriptionAndIcon)
{
    const std::wstring link = m_folder + L"\\Guide.lnk";
    ASSERT_EQ(m_install.CreateShortcut(m_target.c_str(), link.c_str(), L"Przewodnik po układzie",
                                       L"C:\\windows\\system32\\shell32.dll", 3),
              1);
    LinkContent content = ReadLink(link);
    ASSERT_TRUE(content.loaded);
    EXPECT_EQ(content.target, m_target);
    EXPECT_EQ(content.description, L"Przewodnik po układzie");
    EXPECT_EQ(content.iconPath, L"C:\\windows\\system32\\shell32.dll");
    EXPECT_EQ(content.iconIndex, 3);
}

TEST_F(Shortcuts, CreateShortcut_WithoutIconLeavesTheIconUnset)
{
    const std::wstring link = m_folder + L"\\Plain.lnk";
    ASSERT_EQ(m_install.CreateShortcut(m_target.c_str(), link.c_str(), L"Guide", 0, 7), 1);
    LinkContent content = ReadLink(link);
    ASSERT_TRUE(content.loaded);
    EXPECT_EQ(content.target, m_target);
    EXPECT_EQ(content.iconPath, L"");
}

TEST_F(Shortcuts, CreateShortcut_ReplacesALinkAtTheSamePath)
{
    const std::wstring link = m_folder + L"\\Guide.lnk";
    ASSERT_EQ(m_install.CreateShortcut(m_target.c_str(), link.c_str(), L"First", L"C:\\first.ico", 1), 1);
    ASSERT_EQ(m_install.CreateShortcut(m_otherTarget.c_str(), link.c_str(), L"Second", 0, 0), 1);
    LinkContent content = ReadLink(link);
    ASSERT_TRUE(content.loaded);
    EXPECT_EQ(content.target, m_otherTarget);
    EXPECT_EQ(content.description, L"Second");
    EXPECT_EQ(content.iconPath, L"");
}

TEST_F(Shortcuts, CreateShortcut_IntoAMissingFolderReportsSuccessButWritesNothing)
{
    const std::wstring link = m_folder + L"\\missing\\Guide.lnk";
    EXPECT_EQ(m_install.CreateShortcut(m_target.c_str(), link.c_str(), L"Guide", 0, 0), 1);
    EXPECT_FALSE(FileExists(link));
    EXPECT_FALSE(FileExists(m_folder + L"\\missing"));
}

TEST(ShortcutsWithoutCom, CreateShortcut_FailsWhenTheLinkObjectCannotBeMade)
{
    // A thread that never joined COM cannot create the link object.
    struct Result
    {
        int value = -1;
    } result;
    HANDLE thread = CreateThread(
        0, 0,
        [](void* parameter) -> DWORD {
            CInstall install;
            static_cast<Result*>(parameter)->value =
                install.CreateShortcut(L"C:\\windows\\notepad.exe", L"C:\\no-com.lnk", L"x", 0, 0);
            return 0;
        },
        &result, 0, 0);
    ASSERT_NE(thread, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    EXPECT_EQ(result.value, 0);
    EXPECT_FALSE(FileExists(L"C:\\no-com.lnk"));
}

} // namespace
