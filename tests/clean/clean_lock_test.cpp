// The one-clean lock: two cleans exclude each other, and objects squatting its names (made by
// another user, or open to others) are passed over. The console test's squatter runs here too.
#include "clean/clean_lock.h"

#include <gtest/gtest.h>
#include <sddl.h>

#include <thread>

#include "support/fixtures.h"

namespace qm {
namespace {

constexpr wchar_t kOtherUsers[] = L"O:SYD:(A;;GA;;;WD)";  // made by another user (here: the system), open to all

// A mutex made under name as another program would make it, with the descriptor sddl ("": none).
UniqueKernelObject Squat(const std::wstring& name, const std::wstring& sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!sddl.empty())
        ::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr);
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
    UniqueKernelObject mutex(::CreateMutexW(descriptor ? &attributes : nullptr, TRUE, name.c_str()));
    ::LocalFree(descriptor);
    return mutex;
}

std::wstring UserSidText() {
    const std::wstring first = CleanLock::FallbackNames().at(0);
    const size_t begin = first.find(L"CleanLock.") + 10;
    return first.substr(begin, first.rfind(L'.') - begin);
}

// The name every clean used before: a squatter of it must stop nothing.
std::wstring OldName() { return L"Global\\Dorvik.Quillmere.Clean." + UserSidText(); }

struct Attempt {
    bool taken = false;
    LockBusy busy = LockBusy::AnotherClean;
};
// From a thread of its own: a mutex belongs to the thread that holds it, so the squatter's
// thread would otherwise be let in by its own mutex.
Attempt AcquireElsewhere() {
    Attempt attempt;
    std::thread([&] { attempt.taken = CleanLock::Acquire(std::chrono::milliseconds(0), &attempt.busy).has_value(); })
        .join();
    return attempt;
}

TEST(CleanLock, SquattedNamesArePassedOverAndOnlyEveryNameSquattedStopsAClean) {
    const std::vector<std::wstring> names = CleanLock::FallbackNames();
    ASSERT_EQ(names.size(), 8u);
    const std::wstring mine = L"O:" + UserSidText();
    const struct {
        const char* squat;
        std::vector<std::pair<std::wstring, std::wstring>> objects;  // name, descriptor
        bool taken;
    } rows[] = {
        {"nothing", {}, true},
        {"the old name, as any program makes it", {{OldName(), L""}}, true},
        {"the first name, by another user", {{names[0], kOtherUsers}}, true},
        {"the first name, without a descriptor", {{names[0], L""}}, true},
        {"the first name, the user's but open to everyone", {{names[0], mine + L"D:(A;;GA;;;WD)"}}, true},
        {"every name, by another user", {}, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.squat);
        std::vector<UniqueKernelObject> held;
        for (const auto& [name, sddl] : row.objects) held.push_back(Squat(name, sddl));
        if (!row.taken) {
            for (const auto& name : names) held.push_back(Squat(name, kOtherUsers));
        }
        for (const auto& object : held) ASSERT_TRUE(object.valid());
        const Attempt attempt = AcquireElsewhere();
        EXPECT_EQ(attempt.taken, row.taken);
        if (!row.taken) {
            EXPECT_EQ(attempt.busy, LockBusy::NotOurs);
        }
    }
}

// Run only by tests/cli/cli_test.py: squats the old name and the lock's first name (every name
// when QM_SQUAT_ALL is set) as another user would, says so in C:\qm-cli\squatting.txt, and
// holds them until C:\qm-cli\squat-release.txt appears.
TEST(CleanLockSquatter, DISABLED_SquatsTheLockNamesUntilReleased) {
    const std::vector<std::wstring> names = CleanLock::FallbackNames();
    const bool all = ::GetEnvironmentVariableW(L"QM_SQUAT_ALL", nullptr, 0) > 0;
    std::vector<UniqueKernelObject> held;
    held.push_back(Squat(OldName(), L""));
    for (size_t index = 0; index < (all ? names.size() : 1); ++index) held.push_back(Squat(names[index], kOtherUsers));
    for (const auto& object : held) ASSERT_TRUE(object.valid());
    test::WriteBytes(L"C:\\qm-cli\\squatting.txt", "squatting\n");
    for (int waited = 0; waited < 1200 && !test::PathExists(L"C:\\qm-cli\\squat-release.txt"); ++waited) ::Sleep(100);
}

}  // namespace
}  // namespace qm
