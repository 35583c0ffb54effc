// `vyxcap capture --avi` records a RIFF AVI holding at least the frames asked for where the
// platform's file writer takes the AVI mux's stream (Windows). Under Wine it cannot, and
// vyxcap must say so in one line and leave no file behind, instead of dying inside the mux.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "CameraRig.h"
#include "ComApartment.h"
#include "ToolProcess.h"

using namespace vyx::vyxcap::test;

namespace {

std::wstring TempAviPath() {
    wchar_t directory[MAX_PATH];
    const DWORD length = GetTempPathW(MAX_PATH, directory);
    return std::wstring(directory, length) + L"vyxcap_avi_record_test.avi";
}

std::vector<char> ReadFile(const std::wstring& path) {
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::uint32_t DwordAt(const std::vector<char>& bytes, size_t offset) {
    std::uint32_t value = 0;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

// Wine's ntdll exports its version; Windows' does not.
bool RunningUnderWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

}  // namespace

TEST(AviRecord, RecordsTheFramesWhereThePlatformCanAndRefusesCleanlyUnderWine) {
    const vyx::win::ComApartment apartment;
    CameraRig rig(L"Kestrel 1C");
    ASSERT_TRUE(rig.Ready());
    const std::wstring path = TempAviPath();
    DeleteFileW(path.c_str());
    constexpr int kFrames = 5;
    const ToolRun run = RunVyxcap(L"capture \"" + rig.FriendlyName() + L"\" --size 640x480 --frames " +
                                  std::to_wstring(kFrames) + L" --avi \"" + path + L"\" --json");
    const std::vector<char> file = ReadFile(path);
    DeleteFileW(path.c_str());

    if (RunningUnderWine()) {
        EXPECT_EQ(run.exitCode, 1u) << run.err;
        EXPECT_EQ(CountLines(run.err), 1) << run.err;
        EXPECT_NE(run.err.find("cannot record AVI files here"), std::string::npos) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
        EXPECT_TRUE(file.empty()) << "a refused recording left a file of " << file.size() << " bytes";
        return;
    }
    ASSERT_EQ(run.exitCode, 0u) << run.err;
    std::string framesKey = "\"frames\":";
    framesKey += std::to_string(kFrames);  // not "literal" + string: GCC 12 warns falsely on x86
    EXPECT_NE(run.out.find(framesKey), std::string::npos) << run.out;
    // RIFF 'AVI ', LIST 'hdrl', then 'avih' whose fifth field is the total frame count;
    // frames that arrive between the last counted one and the stop may be recorded too.
    ASSERT_GE(file.size(), 52u);
    EXPECT_EQ(std::string(file.data(), 4), "RIFF");
    EXPECT_EQ(std::string(file.data() + 8, 4), "AVI ");
    EXPECT_EQ(std::string(file.data() + 24, 4), "avih");
    EXPECT_GE(DwordAt(file, 48), static_cast<std::uint32_t>(kFrames));
}
