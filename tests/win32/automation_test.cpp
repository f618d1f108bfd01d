#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>

#include <vector>

#include "win32/automation.h"
#include "win32/automation_hooks.h"

namespace quillbay::win32::testing {
namespace {

// TOKEN_USER of this process, read here rather than through the code under test.
std::vector<BYTE> ProcessUser() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
    std::vector<BYTE> user(256);
    DWORD size = 0;
    if (!GetTokenInformation(token, TokenUser, user.data(), static_cast<DWORD>(user.size()), &size)) user.clear();
    CloseHandle(token);
    return user;
}

// The menu-text memory of a process running elevated must not be open to anyone else.
TEST(MenuTextMapping, ItsDaclAdmitsOnlyTheCurrentUser) {
    HANDLE mapping = CreateMenuTextMapping(GetCurrentProcessId());
    ASSERT_NE(mapping, nullptr) << GetLastError();
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(GetSecurityInfo(mapping, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                              &descriptor),
              ERROR_SUCCESS);
    const std::vector<BYTE> user = ProcessUser();
    ASSERT_FALSE(user.empty());
    ASSERT_NE(dacl, nullptr) << "a NULL DACL admits everyone";
    // No ACE at all would shut out the automation of the same user too.
    ASSERT_GT(dacl->AceCount, 0);
    for (WORD i = 0; i < dacl->AceCount; ++i) {
        ACE_HEADER* ace = nullptr;
        ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
        ASSERT_EQ(ace->AceType, ACCESS_ALLOWED_ACE_TYPE) << "ACE " << i;
        auto* allowed = reinterpret_cast<ACCESS_ALLOWED_ACE*>(ace);
        EXPECT_TRUE(EqualSid(&allowed->SidStart, reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid)) << "ACE " << i << " admits someone else";
    }
    LocalFree(descriptor);
    // The user's own automation still opens it by name.
    HANDLE reader = OpenFileMappingW(FILE_MAP_READ, FALSE, MenuTextMappingName(GetCurrentProcessId()).c_str());
    EXPECT_NE(reader, nullptr) << GetLastError();
    if (reader) CloseHandle(reader);
    CloseHandle(mapping);
}

TEST(MenuTextMapping, RefusesAnObjectOfItsNameMadeBeforeIt) {
    const unsigned long id = GetCurrentProcessId();
    HANDLE squatter = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096,
                                         MenuTextMappingName(id).c_str());
    ASSERT_NE(squatter, nullptr);
    HANDLE mapping = CreateMenuTextMapping(id);
    EXPECT_EQ(mapping, nullptr);
    if (mapping) CloseHandle(mapping);
    CloseHandle(squatter);
}

}  // namespace
}  // namespace quillbay::win32::testing
