// Holding the files the service runs code from, on Wine's real files: what Wine reports
// passes the trust rule, a held library cannot be rewritten, replaced or deleted until it
// is let go and can still be loaded, and a missing camera library or a folder in place of
// a file is refused.
#include "InstalledBuilds.h"
#include "TrustedFiles.h"
#include "UniqueResource.h"

#include <gtest/gtest.h>

#include <string>

namespace vyx::service {
namespace {

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring text(path, length);
    return text.substr(0, text.find_last_of(L"\\/"));
}

// A layout of the service's kind beside the test program: <root>\DX_x64\<files>.
class TrustedFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_root = ProgramFolder() + L"\\trusted-layout";
        m_folder = m_root + L"\\DX_x64";
        RemoveLayout();
        ASSERT_TRUE(::CreateDirectoryW(m_root.c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryW(m_folder.c_str(), nullptr));
    }
    void TearDown() override { RemoveLayout(); }

    void RemoveLayout()
    {
        for (const wchar_t* name : {L"\\VYX_Test.dll", L"\\VyxonCamera.dll", L"\\other.dll"}) {
            ::DeleteFileW((m_folder + name).c_str());
        }
        ::RemoveDirectoryW((m_folder + L"\\VyxonCamera.dll").c_str());
        ::RemoveDirectoryW(m_folder.c_str());
        ::RemoveDirectoryW((m_root + L"\\moved").c_str());
        ::RemoveDirectoryW(m_root.c_str());
    }

    bool Put(const wchar_t* name)
    {
        win::UniqueFile file(::CreateFileW((m_folder + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr,
                                           CREATE_ALWAYS, 0, nullptr));
        DWORD written = 0;
        return file && ::WriteFile(file.Get(), "MZ", 2, &written, nullptr);
    }

    std::wstring m_root;
    std::wstring m_folder;
};

TEST_F(TrustedFilesTest, WhatWineReportsPassesTheRule)
{
    // Wine's one user owns every file with full access; it is the system folder's owner.
    EXPECT_FALSE(SystemFolderOwner().empty());
    wchar_t system[MAX_PATH] = {};
    ASSERT_NE(::GetSystemDirectoryW(system, MAX_PATH), 0u);
    TrustedFiles held(ServiceFileTrust());
    EXPECT_EQ(held.Hold(system, FileKind::Folder), 0u) << std::string(held.Reason().begin(), held.Reason().end());
    EXPECT_EQ(held.Hold(std::wstring(system) + L"\\regsvr32.exe", FileKind::File), 0u);
    ASSERT_TRUE(Put(L"VYX_Test.dll"));
    ASSERT_TRUE(Put(L"VyxonCamera.dll"));
    std::wstring refused = L"none";
    EXPECT_EQ(HoldFilterLayout(held, m_folder + L"\\VYX_Test.dll", refused), 0u);
    EXPECT_EQ(refused, L"none");

    // The install command holds its own running executable.
    wchar_t self[MAX_PATH] = {};
    ASSERT_NE(::GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    EXPECT_EQ(HoldServiceLayout(held, self, refused), 0u);

    // Without the system folder's owner among the trusted, the same files are refused.
    const FileTrust strict;
    TrustedFiles strictHeld(strict);
    EXPECT_EQ(strictHeld.Hold(m_folder, FileKind::Folder), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(strictHeld.Reason().rfind(L"owner=S-1-", 0), 0u);
}

TEST_F(TrustedFilesTest, AHeldLibraryCannotBeChangedUntilItIsLetGo)
{
    ASSERT_TRUE(Put(L"VYX_Test.dll"));
    ASSERT_TRUE(Put(L"VyxonCamera.dll"));
    const std::wstring library = m_folder + L"\\VYX_Test.dll";
    {
        TrustedFiles held(ServiceFileTrust());
        std::wstring refused;
        ASSERT_EQ(HoldFilterLayout(held, library, refused), 0u);

        // A second open for writing, even one that shares everything, fails while held.
        win::UniqueFile writer(::CreateFileW(library.c_str(), GENERIC_WRITE,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, 0, nullptr));
        EXPECT_FALSE(writer);
        EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        EXPECT_FALSE(::DeleteFileW(library.c_str()));
        ASSERT_TRUE(Put(L"other.dll"));
        EXPECT_FALSE(::MoveFileExW((m_folder + L"\\other.dll").c_str(), library.c_str(), MOVEFILE_REPLACE_EXISTING));
        EXPECT_FALSE(::MoveFileW(m_folder.c_str(), (m_root + L"\\moved").c_str()));
        // Readers are welcome: regsvr32's loader is one.
        win::UniqueFile reader(::CreateFileW(library.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                             nullptr, OPEN_EXISTING, 0, nullptr));
        EXPECT_TRUE(reader);
    }
    win::UniqueFile writer(::CreateFileW(library.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                         nullptr));
    EXPECT_TRUE(writer);
}

TEST_F(TrustedFilesTest, AHeldLibraryStillLoads)
{
    // The library of this test's own architecture: a 32-bit process cannot load a 64-bit one.
#ifdef _WIN64
    const std::wstring source = vyx::test::DistPath() + L"\\DX_x64\\VyxonCamera.dll";
#else
    const std::wstring source = vyx::test::DistPath() + L"\\DX_x86\\VyxonCamera.dll";
#endif
    const std::wstring library = m_folder + L"\\VyxonCamera.dll";
    ASSERT_TRUE(::CopyFileW(source.c_str(), library.c_str(), FALSE)) << "the camera library is missing from VYX_DIST";
    TrustedFiles held(ServiceFileTrust());
    ASSERT_EQ(held.Hold(library, FileKind::File), 0u);
    struct ModuleTraits {
        static HMODULE Invalid() { return nullptr; }
        static void Close(HMODULE h) { ::FreeLibrary(h); }
    };
    win::UniqueResource<HMODULE, ModuleTraits> module(::LoadLibraryW(library.c_str()));
    EXPECT_TRUE(module) << ::GetLastError();
}

TEST_F(TrustedFilesTest, MissingOrMisplacedPiecesAreRefused)
{
    ASSERT_TRUE(Put(L"VYX_Test.dll"));
    TrustedFiles held(ServiceFileTrust());
    std::wstring refused;
    // The camera library must lie beside the filter library.
    EXPECT_EQ(HoldFilterLayout(held, m_folder + L"\\VYX_Test.dll", refused), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(refused, m_folder + L"\\VyxonCamera.dll");
    // A folder in place of a file, a file in place of a folder.
    ASSERT_TRUE(::CreateDirectoryW((m_folder + L"\\VyxonCamera.dll").c_str(), nullptr));
    EXPECT_EQ(HoldFilterLayout(held, m_folder + L"\\VYX_Test.dll", refused), static_cast<DWORD>(ERROR_FILE_INVALID));
    EXPECT_EQ(held.Hold(m_folder + L"\\VYX_Test.dll", FileKind::Folder), static_cast<DWORD>(ERROR_BAD_PATHNAME));
    EXPECT_EQ(HoldFilterLayout(held, m_folder + L"\\absent.dll", refused), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(refused, m_folder + L"\\absent.dll");

    // Installing: the architecture folders are optional, the executable is not.
    ASSERT_TRUE(Put(L"other.dll"));
    EXPECT_EQ(HoldServiceLayout(held, m_folder + L"\\other.dll", refused), 0u);
    EXPECT_EQ(HoldServiceLayout(held, m_folder + L"\\absent.exe", refused), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(refused, m_folder + L"\\absent.exe");
}

// Wine makes no junctions; what a junction's handle reports is judged here instead.
TEST(FileKindTest, JunctionsAndLinksAreNeverTakenForWhatTheyPointTo)
{
    const DWORD junction = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    EXPECT_EQ(JudgeFileKind(junction, FileKind::Folder), static_cast<DWORD>(ERROR_BAD_PATHNAME));
    EXPECT_EQ(JudgeFileKind(FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_ARCHIVE, FileKind::File),
              static_cast<DWORD>(ERROR_FILE_INVALID));
    EXPECT_EQ(JudgeFileKind(FILE_ATTRIBUTE_DIRECTORY, FileKind::Folder), 0u);
    EXPECT_EQ(JudgeFileKind(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY, FileKind::Folder), 0u);
    EXPECT_EQ(JudgeFileKind(FILE_ATTRIBUTE_ARCHIVE, FileKind::File), 0u);
    EXPECT_EQ(JudgeFileKind(FILE_ATTRIBUTE_NORMAL, FileKind::File), 0u);
    EXPECT_EQ(JudgeFileKind(FILE_ATTRIBUTE_DIRECTORY, FileKind::File), static_cast<DWORD>(ERROR_FILE_INVALID));
    EXPECT_EQ(JudgeFileKind(FILE_ATTRIBUTE_ARCHIVE, FileKind::Folder), static_cast<DWORD>(ERROR_BAD_PATHNAME));
}

}  // namespace
}  // namespace vyx::service
