// vyxcap --api mf as a user runs it on a plugged and registered camera: the media sources
// listed with their CLSIDs, captures through IMFSourceReader, lossless recordings, and a
// camera held by a DirectShow filter refused with a clear line.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "CameraRig.h"
#include "ComApartment.h"
#include "ToolProcess.h"

namespace {
using namespace vyx::vyxcap::test;

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

std::wstring TempFile(const wchar_t* name) {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + name;
}

// The frame count a SER file's header says (bytes 38 to 41, little-endian).
long SerFrames(const std::wstring& path) {
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return -1;
    unsigned char header[178] = {};
    DWORD read = 0;
    ReadFile(handle, header, sizeof header, &read, nullptr);
    CloseHandle(handle);
    if (read != sizeof header) return -1;
    return header[38] | header[39] << 8 | header[40] << 16 | static_cast<long>(header[41]) << 24;
}

TEST(VyxcapMediaFoundation, ListsCapturesAndRecordsThroughTheMediaSource) {
    CameraRig rig(L"Kestrel 1M");
    ASSERT_TRUE(rig.Ready());
    const ToolRun list = RunVyxcap(L"list --api mf");
    ASSERT_EQ(list.exitCode, 0u) << list.err;
    EXPECT_NE(list.out.find(std::string("VYX Kestrel 1M Camera  ") +
                            std::string(rig.Model().mediaSourceClsidText,
                                        rig.Model().mediaSourceClsidText + wcslen(rig.Model().mediaSourceClsidText))),
              std::string::npos)
        << list.out;

    const ToolRun capture = RunVyxcap(L"capture " + Quoted(rig.FriendlyName()) +
                                      L" --api mf --format NV12 --size 640x480 --frames 3 --json");
    ASSERT_EQ(capture.exitCode, 0u) << capture.err;
    EXPECT_NE(capture.out.find("\"subtype\":\"NV12\",\"width\":640,\"height\":480"), std::string::npos) << capture.out;
    EXPECT_NE(capture.out.find("\"frames\":3"), std::string::npos) << capture.out;
    EXPECT_NE(capture.out.find("\"wrongLength\":0"), std::string::npos) << capture.out;

    const std::wstring ser = TempFile(L"vyxcap-mf-L16.ser");
    const ToolRun record = RunVyxcap(L"capture 0 --api mf --format L16 --size 320x240 --frames 4 --ser " + Quoted(ser));
    ASSERT_EQ(record.exitCode, 0u) << record.err;
    EXPECT_EQ(SerFrames(ser), 4);
    DeleteFileW(ser.c_str());

    // The DirectShow filter of this process holds the camera: the source says so.
    const vyx::win::ComApartment com;
    const auto filter = rig.CreateFilter();
    ASSERT_TRUE(filter);
    const ToolRun held = RunVyxcap(L"capture " + Quoted(rig.FriendlyName()) + L" --api mf --frames 1");
    EXPECT_EQ(held.exitCode, 1u);
    EXPECT_NE(held.err.find("in use by another program"), std::string::npos) << held.err;
}

}  // namespace
