// The event tap serves its lines on a pipe it owns: a reader gets them in order, a reader
// that never reads and a server that took the name first cost the writer nothing, and the
// pipe's access list admits only SYSTEM and the Administrators group. Wine enforces no access
// lists, so the list is read back rather than tried with another user.
#include "EventTap.h"
#include "UniqueResource.h"

#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vyx::service {
namespace {

struct TapLine {
    EventTapHeader header;
    std::wstring text;
};

win::UniqueFile ConnectReader(DWORD extraAccess = 0)
{
    win::UniqueFile pipe(::CreateFileW(EventTapPipeName(::GetCurrentProcessId()).c_str(),
                                       GENERIC_READ | FILE_WRITE_ATTRIBUTES | extraAccess, 0, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_OVERLAPPED, nullptr));
    DWORD mode = PIPE_READMODE_MESSAGE;
    if (pipe && !::SetNamedPipeHandleState(pipe.Get(), &mode, nullptr, nullptr)) {
        return win::UniqueFile();
    }
    return pipe;
}

// The next message, or nothing within the limit (the limit only guards against a hang).
std::optional<TapLine> ReadLine(HANDLE pipe, DWORD limitMs = 5000)
{
    win::UniqueHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    OVERLAPPED overlapped = {};
    overlapped.hEvent = done.Get();
    std::vector<BYTE> message(sizeof(EventTapHeader) + 4096 * sizeof(wchar_t));
    DWORD received = 0;
    if (!::ReadFile(pipe, message.data(), static_cast<DWORD>(message.size()), &received, &overlapped)) {
        if (::GetLastError() != ERROR_IO_PENDING) {
            return std::nullopt;
        }
        if (::WaitForSingleObject(done.Get(), limitMs) != WAIT_OBJECT_0) {
            ::CancelIoEx(pipe, &overlapped);
        }
        if (!::GetOverlappedResult(pipe, &overlapped, &received, TRUE)) {
            return std::nullopt;
        }
    }
    if (received < sizeof(EventTapHeader)) {
        return std::nullopt;
    }
    TapLine line;
    std::memcpy(&line.header, message.data(), sizeof(line.header));
    line.text.assign(reinterpret_cast<const wchar_t*>(message.data() + sizeof(EventTapHeader)),
                     (received - sizeof(EventTapHeader)) / sizeof(wchar_t));
    return line;
}

TEST(EventTapTest, AReaderGetsTheLinesWrittenBeforeAndAfterItConnected)
{
    EventTap tap;
    ASSERT_TRUE(tap.IsServing());
    tap.Write(EVENTLOG_WARNING_TYPE, 1201, L"model=X connectedCount=1");
    win::UniqueFile reader = ConnectReader();
    ASSERT_TRUE(reader);
    tap.Write(EVENTLOG_ERROR_TYPE, 1501, L"");

    const std::optional<TapLine> first = ReadLine(reader.Get());
    ASSERT_TRUE(first);
    EXPECT_EQ(first->header.type, static_cast<DWORD>(EVENTLOG_WARNING_TYPE));
    EXPECT_EQ(first->header.id, 1201u);
    EXPECT_EQ(first->header.processId, ::GetCurrentProcessId());
    EXPECT_EQ(first->header.sequence, 1u);
    EXPECT_EQ(first->text, L"model=X connectedCount=1");
    const std::optional<TapLine> second = ReadLine(reader.Get());
    ASSERT_TRUE(second);
    EXPECT_EQ(second->header.id, 1501u);
    EXPECT_EQ(second->header.sequence, 2u);
    EXPECT_EQ(second->text, L"");

    // The pipe's one instance is taken: a second reader cannot listen in.
    EXPECT_FALSE(ConnectReader());
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_PIPE_BUSY));

    // A reader that leaves is let go without waiting for a further line, so the next one
    // can connect at once and gets what follows.
    reader.Reset();
    win::UniqueFile next;
    for (int attempt = 0; attempt < 500 && !next; ++attempt) {
        next = ConnectReader();
        if (!next) {
            ::Sleep(10);  // polls for the tap to take the next reader; not a gate on the order
        }
    }
    ASSERT_TRUE(next) << "the pipe stayed busy with the departed reader";
    tap.Write(EVENTLOG_INFORMATION_TYPE, 1001, L"VYXDshowService stopped.");
    const std::optional<TapLine> third = ReadLine(next.Get());
    ASSERT_TRUE(third);
    EXPECT_EQ(third->header.sequence, 3u);
    EXPECT_EQ(third->text, L"VYXDshowService stopped.");
}

TEST(EventTapTest, AReaderThatNeverReadsCostsTheWriterNothingAndDropsAreCounted)
{
    EventTap tap;
    ASSERT_TRUE(tap.IsServing());
    win::UniqueFile squatter = ConnectReader();
    ASSERT_TRUE(squatter);

    // Far more than the pipe holds and the backlog keeps: each line must still return at once.
    const std::wstring text(200, L'x');
    const std::size_t lines = kEventTapBacklog + 1500;
    ULONGLONG slowest = 0;
    for (std::size_t i = 0; i < lines; ++i) {
        const ULONGLONG start = ::GetTickCount64();
        tap.Write(EVENTLOG_INFORMATION_TYPE, 1000, text.c_str());
        slowest = std::max(slowest, ::GetTickCount64() - start);
    }
    // A wait for the reader would take the old 2 s per line; scheduling alone stays far below.
    EXPECT_LT(slowest, 1000u);
    const std::size_t dropped = tap.DroppedLines();
    EXPECT_GT(dropped, 0u);
    EXPECT_LT(dropped, lines - kEventTapBacklog + 1);

    // What was kept comes in order, and the dropped lines leave gaps in the sequence. The
    // tap's thread sends lines on while the writes go on, so a gap can lie anywhere.
    DWORD previous = 0;
    std::size_t received = 0, missing = 0;
    while (received < lines - dropped) {
        const std::optional<TapLine> line = ReadLine(squatter.Get());
        ASSERT_TRUE(line) << "after " << received << " lines";
        ASSERT_GT(line->header.sequence, previous);
        ASSERT_EQ(line->text, text);
        missing += line->header.sequence - previous - 1;
        previous = line->header.sequence;
        ++received;
    }
    tap.Write(EVENTLOG_INFORMATION_TYPE, 1001, L"last");
    const std::optional<TapLine> last = ReadLine(squatter.Get());
    ASSERT_TRUE(last);
    EXPECT_EQ(last->header.sequence, static_cast<DWORD>(lines + 1));
    missing += last->header.sequence - previous - 1;
    EXPECT_EQ(missing, dropped);
}

// Windows (and Wine) cancel the I/O a thread started when it exits: a line whose write a
// logging thread had started would be cut off with that thread, and the reader dropped.
TEST(EventTapTest, LinesOfAThreadThatEndsStillReachTheReaderOnTheSameConnection)
{
    EventTap tap;
    ASSERT_TRUE(tap.IsServing());
    win::UniqueFile reader = ConnectReader();
    ASSERT_TRUE(reader);
    // Read once, so the tap has taken the reader before the thread writes.
    tap.Write(EVENTLOG_INFORMATION_TYPE, 1000, L"first");
    ASSERT_TRUE(ReadLine(reader.Get()));
    // More than the pipe holds, while the reader does not read: some writes must wait.
    const std::wstring text(4000, L'x');
    constexpr DWORD kLines = 100;
    std::thread logging([&] {
        for (DWORD i = 0; i < kLines; ++i) {
            tap.Write(EVENTLOG_INFORMATION_TYPE, 1000, text.c_str());
        }
    });
    logging.join();
    for (DWORD sequence = 2; sequence <= kLines + 1; ++sequence) {
        const std::optional<TapLine> line = ReadLine(reader.Get());
        ASSERT_TRUE(line) << "lost at " << sequence;
        ASSERT_EQ(line->header.sequence, sequence);
    }
    tap.Write(EVENTLOG_INFORMATION_TYPE, 1001, L"after");
    const std::optional<TapLine> after = ReadLine(reader.Get());
    ASSERT_TRUE(after);
    EXPECT_EQ(after->text, L"after");
}

// Lines written at once from several threads go out in the order of their numbers.
TEST(EventTapTest, ConcurrentWritersNeverSendNumbersOutOfOrder)
{
    EventTap tap;
    ASSERT_TRUE(tap.IsServing());
    win::UniqueFile reader = ConnectReader();
    ASSERT_TRUE(reader);
    constexpr int kThreads = 4;
    constexpr int kLinesEach = 500;
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([&tap] {
            for (int i = 0; i < kLinesEach; ++i) {
                tap.Write(EVENTLOG_INFORMATION_TYPE, 1000, L"line");
            }
        });
    }
    DWORD previous = 0;
    std::size_t received = 0;
    for (;;) {
        const std::optional<TapLine> line = ReadLine(reader.Get(), 2000);
        if (!line) {
            break;
        }
        ASSERT_GT(line->header.sequence, previous) << "after " << received << " lines";
        previous = line->header.sequence;
        ++received;
        if (previous == kThreads * kLinesEach) {
            break;
        }
    }
    for (std::thread& writer : writers) {
        writer.join();
    }
    EXPECT_EQ(received + tap.DroppedLines(), static_cast<std::size_t>(kThreads * kLinesEach));
}

TEST(EventTapTest, OnExitTheQueuedLinesWaitForALateReaderButAStuckOneHoldsExitOnlySoLong)
{
    auto tap = std::make_unique<EventTap>();
    ASSERT_TRUE(tap->IsServing());
    tap->Write(EVENTLOG_INFORMATION_TYPE, 1500, L"VYXCamService installed.");
    tap->Write(EVENTLOG_INFORMATION_TYPE, 1001, L"done");
    // The process ends (the tap goes) before anyone reads: a short command's case. Nothing
    // places the connect after the exit began, so this catches a missing flush only when the
    // exit wins the race; the end-to-end tests read every command's lines this way too.
    std::thread exiting([&tap] { tap.reset(); });
    win::UniqueFile reader;
    const ULONGLONG giveUp = ::GetTickCount64() + 5000;
    while (!(reader = ConnectReader()) && ::GetTickCount64() < giveUp) {
        ::Sleep(10);  // polls for the pipe; the order against the exit is what the reads check
    }
    ASSERT_TRUE(reader);
    const std::optional<TapLine> first = ReadLine(reader.Get());
    const std::optional<TapLine> second = ReadLine(reader.Get());
    exiting.join();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->text, L"VYXCamService installed.");
    EXPECT_EQ(second->header.sequence, 2u);

    // A reader that takes nothing: the exit waits for it no longer than the flush allows.
    tap = std::make_unique<EventTap>();
    win::UniqueFile stuck = ConnectReader();
    ASSERT_TRUE(stuck);
    const std::wstring text(4000, L'x');
    for (int i = 0; i < 100; ++i) {
        tap->Write(EVENTLOG_INFORMATION_TYPE, 1000, text.c_str());
    }
    const ULONGLONG start = ::GetTickCount64();
    tap.reset();
    EXPECT_LT(::GetTickCount64() - start, kEventTapFlushMs + 3000);
}

TEST(EventTapTest, APipeOfTheNameCreatedFirstGetsNothingAndCostsNothing)
{
    win::UniqueFile squatter(::CreateNamedPipeW(EventTapPipeName(::GetCurrentProcessId()).c_str(),
                                                PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED,
                                                PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                                                PIPE_UNLIMITED_INSTANCES, 0, 64 * 1024, 0, nullptr));
    ASSERT_TRUE(squatter);
    win::UniqueHandle connected(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    OVERLAPPED overlapped = {};
    overlapped.hEvent = connected.Get();
    ASSERT_FALSE(::ConnectNamedPipe(squatter.Get(), &overlapped));
    ASSERT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));

    {
        EventTap tap;
        EXPECT_FALSE(tap.IsServing());
        const ULONGLONG start = ::GetTickCount64();
        for (int i = 0; i < 10; ++i) {
            tap.Write(EVENTLOG_WARNING_TYPE, 1201, L"model=X connectedCount=1");
        }
        EXPECT_LT(::GetTickCount64() - start, 1000u);
    }
    // The tap never opens a pipe as a client, so the squatter's listen never completes.
    EXPECT_EQ(::WaitForSingleObject(connected.Get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    ::CancelIoEx(squatter.Get(), &overlapped);
    DWORD ignored = 0;
    ::GetOverlappedResult(squatter.Get(), &overlapped, &ignored, TRUE);
}

TEST(EventTapTest, ThePipeAdmitsOnlySystemAndAdministratorsAndNoSecondServer)
{
    EventTap tap;
    ASSERT_TRUE(tap.IsServing());
    // Once the tap serves the name, nobody adds an instance to it.
    win::UniqueFile second(::CreateNamedPipeW(EventTapPipeName(::GetCurrentProcessId()).c_str(),
                                              PIPE_ACCESS_INBOUND, PIPE_TYPE_MESSAGE, PIPE_UNLIMITED_INSTANCES, 0,
                                              64 * 1024, 0, nullptr));
    EXPECT_FALSE(second);

    win::UniqueFile reader = ConnectReader(READ_CONTROL);
    ASSERT_TRUE(reader);
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(::GetSecurityInfo(reader.Get(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                nullptr, &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    const std::unique_ptr<void, decltype(&::LocalFree)> owned(descriptor, &::LocalFree);
    ASSERT_NE(dacl, nullptr);
    ASSERT_EQ(dacl->AceCount, 2u);
    const WELL_KNOWN_SID_TYPE expected[] = {WinLocalSystemSid, WinBuiltinAdministratorsSid};
    for (DWORD i = 0; i < 2; ++i) {
        void* ace = nullptr;
        ASSERT_TRUE(::GetAce(dacl, i, &ace));
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
        EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE) << i;
        EXPECT_EQ(allowed->Mask, static_cast<DWORD>(FILE_ALL_ACCESS)) << i;
        BYTE sid[SECURITY_MAX_SID_SIZE] = {};
        DWORD size = sizeof(sid);
        ASSERT_TRUE(::CreateWellKnownSid(expected[i], nullptr, sid, &size));
        EXPECT_TRUE(::EqualSid(const_cast<DWORD*>(&allowed->SidStart), sid)) << i;
    }
}

}  // namespace
}  // namespace vyx::service
