#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>

#include <vector>

#include "win32/automation.h"
#include "win32/automation_hooks.h"

namespace quillbay::win32::testing {
namespace {

// The menu-text memory of a process running elevated must not be open to anyone else.
TEST(MenuTextMapping, ItsDaclAdmitsOnlyTheCurrentUser) {
    // The process's user, read here rather than through the code under test.
    HANDLE token = nullptr;
    std::vector<BYTE> user(256);
    DWORD size = 0;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    ASSERT_TRUE(GetTokenInformation(token, TokenUser, user.data(), static_cast<DWORD>(user.size()), &size));
    CloseHandle(token);

    HANDLE mapping = CreateMenuTextMapping(GetCurrentProcessId());
    ASSERT_NE(mapping, nullptr) << GetLastError();
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(GetSecurityInfo(mapping, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                              &descriptor),
              ERROR_SUCCESS);
    ASSERT_NE(dacl, nullptr) << "a NULL DACL admits everyone";
    EXPECT_GT(dacl->AceCount, 0) << "no ACE shuts out the user's own automation too";
    for (WORD i = 0; i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
        EXPECT_TRUE(ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE &&
                    EqualSid(&ace->SidStart, reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid))
            << "ACE " << i << " is for someone else";
    }
    LocalFree(descriptor);
    // An object of its name made before it, by anyone, is refused rather than written to. The
    // user's own automation opens it by name end to end (the driver reads menu captions).
    EXPECT_EQ(CreateMenuTextMapping(GetCurrentProcessId()), nullptr);
    CloseHandle(mapping);
}

}  // namespace
}  // namespace quillbay::win32::testing
