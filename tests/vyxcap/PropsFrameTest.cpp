// vyxcap props: the platform's property frame opens on a plugged camera's pages (the
// filter's and, with --pin, the pin's) and the tool exits cleanly once the frame is closed.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "CameraRig.h"
#include "ChildProcess.h"
#include "InstalledBuilds.h"

using namespace vyx::vyxcap::test;

namespace {
struct WindowSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK MatchFrame(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
    search->found = window;
    return FALSE;
}

// The frame: a visible top-level window of the process.
HWND FindFrame(DWORD processId) {
    WindowSearch search{processId, nullptr};
    EnumWindows(MatchFrame, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Starts `vyxcap props`, waits for its frame, reads the frame's tab count, closes it with
// Cancel as a user would, and returns the exit code.
DWORD OpenAndCloseFrame(const std::wstring& arguments, int* tabs) {
    vyx::win::ChildProcess process;  // ended, should the test stop before it did
    if (process.Start(L"\"" + vyx::test::ToolPath(L"vyxcap.exe") + L"\" props " + arguments) != ERROR_SUCCESS)
        return 0xFFFFFFFF;
    HWND frame = nullptr;
    for (int i = 0; i < 300 && !frame; ++i) {
        if (WaitForSingleObject(process.Process(), 50) == WAIT_OBJECT_0) return 0xFFFFFFFE;  // ended without a frame
        frame = FindFrame(process.ProcessId());
    }
    if (!frame) return 0xFFFFFFFD;
    Sleep(300);  // the frame activates its first page after it shows
    HWND tabControl = FindWindowExW(frame, nullptr, L"SysTabControl32", nullptr);
    *tabs = tabControl ? static_cast<int>(SendMessageW(tabControl, 0x1304 /* TCM_GETITEMCOUNT */, 0, 0)) : 0;
    PostMessageW(frame, WM_COMMAND, IDCANCEL, 0);
    if (process.Wait(20000) != ERROR_SUCCESS) return 0xFFFFFFFC;
    return process.ExitCode();
}
}  // namespace

TEST(PropsFrame, OpensOnTheFilterAndThePinAndExitsWhenClosed) {
    CameraRig rig(L"Kestrel 1C");
    ASSERT_TRUE(rig.Ready());
    int tabs = 0;
    EXPECT_EQ(OpenAndCloseFrame(L"\"" + rig.FriendlyName() + L"\"", &tabs), 0u);
    EXPECT_EQ(tabs, 7);
    EXPECT_EQ(OpenAndCloseFrame(L"\"" + rig.FriendlyName() + L"\" --pin", &tabs), 0u);
    EXPECT_EQ(tabs, 1);
}
