// The event tap writes only to a pipe served by an administrator or SYSTEM: the rule on a
// token's user and groups built here, and the whole way through a pipe this test serves
// (Wine's one user holds the Administrators group, as an elevated administrator does).
#include "EventTap.h"
#include "PipeServerCheck.h"
#include "UniqueResource.h"

#include <gtest/gtest.h>

#include <sddl.h>

#include <cstring>
#include <vector>

namespace vyx::service {
namespace {

class Sid {
public:
    explicit Sid(const wchar_t* text) { ::ConvertStringSidToSidW(text, &m_sid); }
    ~Sid() { ::LocalFree(m_sid); }
    Sid(const Sid&) = delete;
    Sid& operator=(const Sid&) = delete;
    PSID Get() const { return m_sid; }

private:
    PSID m_sid = nullptr;
};

// TOKEN_GROUPS with room for a few groups.
struct Groups {
    DWORD count = 0;
    SID_AND_ATTRIBUTES entries[4] = {};
    void Add(PSID sid, DWORD attributes) { entries[count++] = {sid, attributes}; }
    const TOKEN_GROUPS* Get() const
    {
        m_buffer.assign(sizeof(TOKEN_GROUPS) + sizeof(entries), 0);
        auto* groups = reinterpret_cast<TOKEN_GROUPS*>(m_buffer.data());
        groups->GroupCount = count;
        for (DWORD i = 0; i < count; ++i) {
            groups->Groups[i] = entries[i];
        }
        return groups;
    }
    mutable std::vector<BYTE> m_buffer;
};

TEST(EventTapTest, OnlySystemOrAnEnabledAdministratorsGroupCounts)
{
    Sid system(L"SY");
    Sid user(L"S-1-5-21-1-2-3-1001");
    Sid admins(L"BA");
    Sid users(L"BU");
    const DWORD enabled = SE_GROUP_ENABLED | SE_GROUP_ENABLED_BY_DEFAULT | SE_GROUP_MANDATORY;

    EXPECT_TRUE(IsAdministrativeIdentity(system.Get(), nullptr));
    EXPECT_FALSE(IsAdministrativeIdentity(user.Get(), nullptr));
    EXPECT_FALSE(IsAdministrativeIdentity(nullptr, nullptr));

    Groups elevated;
    elevated.Add(users.Get(), enabled);
    elevated.Add(admins.Get(), enabled | SE_GROUP_OWNER);
    EXPECT_TRUE(IsAdministrativeIdentity(user.Get(), elevated.Get()));

    // An administrator's filtered token holds the group for deny only.
    Groups filtered;
    filtered.Add(users.Get(), enabled);
    filtered.Add(admins.Get(), SE_GROUP_USE_FOR_DENY_ONLY);
    EXPECT_FALSE(IsAdministrativeIdentity(user.Get(), filtered.Get()));
    Groups denyAndEnabled;
    denyAndEnabled.Add(admins.Get(), SE_GROUP_ENABLED | SE_GROUP_USE_FOR_DENY_ONLY);
    EXPECT_FALSE(IsAdministrativeIdentity(user.Get(), denyAndEnabled.Get()));
    Groups disabled;
    disabled.Add(admins.Get(), SE_GROUP_MANDATORY);
    EXPECT_FALSE(IsAdministrativeIdentity(user.Get(), disabled.Get()));
    Groups ordinary;
    ordinary.Add(users.Get(), enabled);
    EXPECT_FALSE(IsAdministrativeIdentity(user.Get(), ordinary.Get()));
}

TEST(EventTapTest, ALineReachesAnAdministratorsPipeAndNothingElseIsTakenForOne)
{
    win::UniqueFile server(::CreateNamedPipeW(kEventTapPipe, PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED,
                                              PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 0, 64 * 1024,
                                              0, nullptr));
    ASSERT_TRUE(server);
    win::UniqueHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    OVERLAPPED overlapped = {};
    overlapped.hEvent = done.Get();
    // Listening before the line is written, as a listener does.
    ASSERT_FALSE(::ConnectNamedPipe(server.Get(), &overlapped));
    ASSERT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    WriteToEventTap(nullptr, EVENTLOG_WARNING_TYPE, 1201, L"model=X connectedCount=1");
    DWORD received = 0;
    const bool connected = ::WaitForSingleObject(done.Get(), 5000) == WAIT_OBJECT_0;
    if (!connected) {
        ::CancelIo(server.Get());
    }
    ::GetOverlappedResult(server.Get(), &overlapped, &received, TRUE);
    ASSERT_TRUE(connected) << "the tap never opened the pipe";
    std::vector<BYTE> message(4096);
    ::ResetEvent(done.Get());
    overlapped = {};
    overlapped.hEvent = done.Get();
    if (!::ReadFile(server.Get(), message.data(), static_cast<DWORD>(message.size()), &received, &overlapped) &&
        ::GetLastError() == ERROR_IO_PENDING) {
        if (::WaitForSingleObject(done.Get(), 5000) != WAIT_OBJECT_0) {
            ::CancelIo(server.Get());
        }
        ::GetOverlappedResult(server.Get(), &overlapped, &received, TRUE);
    }

    const std::wstring line = L"model=X connectedCount=1";
    ASSERT_EQ(received, sizeof(EventTapHeader) + line.size() * sizeof(wchar_t));
    EventTapHeader header;
    std::memcpy(&header, message.data(), sizeof(header));
    EXPECT_EQ(header.type, static_cast<DWORD>(EVENTLOG_WARNING_TYPE));
    EXPECT_EQ(header.id, 1201u);
    EXPECT_EQ(header.processId, ::GetCurrentProcessId());
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(message.data() + sizeof(header)), line.size()), line);

    // A handle that is no pipe client has no server to judge.
    EXPECT_FALSE(IsPipeServerAdministrative(INVALID_HANDLE_VALUE));
    EXPECT_FALSE(IsPipeServerAdministrative(nullptr));
    win::UniqueHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    EXPECT_FALSE(IsPipeServerAdministrative(event.Get()));
}

}  // namespace
}  // namespace vyx::service
