// The Application event log: the source is registered with the running program as its message
// file, and both programs carry a message table that shows each record's text whole.
#include <gtest/gtest.h>

#include <windows.h>

#include "test_support.h"
#include "win32/event_log_win32.h"
#include "win32/text_win32.h"

namespace quillbay::win32::testing {
namespace {

std::wstring RegistryText(const wchar_t* name) {
    wchar_t value[MAX_PATH + 1] = {};
    DWORD size = sizeof value;
    RegGetValueW(HKEY_LOCAL_MACHINE, kEventSourceKey, name, RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, value, &size);
    return value;
}

TEST(Win32EventLog, RegistersItsSourceWithThisProgramAsTheMessageFile) {
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kEventSourceKey);
    Win32EventLog events;
    ASSERT_NO_THROW(events.Report(EventKind::Warning, 3003, "b.example.test:443 was put back."));
    wchar_t self[MAX_PATH + 1];
    GetModuleFileNameW(nullptr, self, MAX_PATH + 1);
    EXPECT_EQ(RegistryText(L"EventMessageFile"), self);
    DWORD types = 0, size = sizeof types;
    RegGetValueW(HKEY_LOCAL_MACHINE, kEventSourceKey, L"TypesSupported", RRF_RT_REG_DWORD, nullptr, &types, &size);
    EXPECT_EQ(types, 7u);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kEventSourceKey);
}

// What Event Viewer does with a record: the message of its ID from the program's table, the
// record's one string put in.
TEST(Win32EventLog, BothProgramsShowEveryIdAsTheSentenceItCarries) {
    for (const char* program : {"Quillbay.exe", "quillbay-cli.exe"}) {
        HMODULE module = LoadLibraryExW(Utf8ToWide(Beside(program)).c_str(), nullptr,
                                        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_TRUE(module) << program;
        for (const DWORD id : {1000u, 1001u, 1002u, 2000u, 2001u, 2002u, 3000u, 3001u, 3002u, 3003u, 4001u, 4002u}) {
            const std::wstring sentence = L"Renewal finished: 3 endpoint(s) replaced, 0 not. 续期完成。";
            DWORD_PTR arguments[] = {reinterpret_cast<DWORD_PTR>(sentence.c_str())};
            wchar_t* shown = nullptr;
            const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                                    FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                                module, id, 0, reinterpret_cast<wchar_t*>(&shown), 0,
                                                reinterpret_cast<va_list*>(arguments));
            ASSERT_GT(length, 0u) << program << " " << id;
            EXPECT_EQ(std::wstring(shown).substr(0, sentence.size()), sentence) << program << " " << id;
            LocalFree(shown);
        }
        FreeLibrary(module);
    }
}

}  // namespace
}  // namespace quillbay::win32::testing
