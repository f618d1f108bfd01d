// The language store and the properties every table must share. The texts themselves are
// the product; these tests check that the three tables can stand in for one another.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "lang/store.h"
#include "support/text.h"

namespace {

using namespace quillbay::lang;
using quillbay::AsciiLower;

const StringEntry* const kTables[] = {kEnglishStrings, kSimplifiedChineseStrings, kTraditionalChineseStrings};

// What a text must keep in every language: its line breaks, where it has blanks at its
// ends (pieces are joined with counts and names), a menu caption's access key, and the
// marks "{1}", "{2}", ... that values fill.
std::string Shape(std::string_view key, std::string_view text) {
    std::string shape;
    for (std::size_t p = text.find("\r\n"); p != std::string_view::npos; p = text.find("\r\n", p + 2)) shape += "|";
    if (!text.empty() && text.front() == ' ') shape += "<blank";
    // " of " joins two counts; the Chinese pieces end in "..." there instead of a blank.
    if (!text.empty() && text.back() == ' ' && key != "lblStatus_ImportingCertChain_Of") shape += "blank>";
    if (const auto amp = text.find('&'); amp != std::string_view::npos) shape += std::string(text.substr(amp, 2));
    std::set<std::string> marks;
    for (std::size_t p = text.find('{'); p != std::string_view::npos; p = text.find('{', p + 1))
        marks.insert(std::string(text.substr(p, 3)));
    for (const std::string& mark : marks) shape += mark;
    return shape;
}

TEST(LangTables, SameKeysInTheSameOrderNoDuplicatesNoEmptyText) {
    ASSERT_EQ(kStringCount, kBaseKeyCount + kExtraKeyCount);
    for (const StringEntry* table : kTables) {
        std::set<std::string> seen;
        for (std::size_t i = 0; i < kStringCount; ++i) {
            SCOPED_TRACE(std::string(table[i].key));
            EXPECT_EQ(table[i].key, kEnglishStrings[i].key);
            EXPECT_TRUE(seen.insert(AsciiLower(table[i].key)).second) << "duplicate key";
            EXPECT_FALSE(table[i].text.empty());
            EXPECT_EQ(Shape(table[i].key, table[i].text), Shape(kEnglishStrings[i].key, kEnglishStrings[i].text));
            // A bare LF or CR would show as a box in a message; every break is CR LF.
            std::string text(table[i].text);
            for (std::size_t p = text.find("\r\n"); p != std::string::npos; p = text.find("\r\n")) text.erase(p, 2);
            EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
        }
    }
}

TEST(LangStore, EveryLanguageServesItsOwnTableWhole) {
    for (LanguageId id : {kEnglish, kSimplifiedChinese, kTraditionalChinese, kEnglish}) {
        SetCurrentLanguage(id);
        for (std::size_t i = 0; i < kStringCount; ++i)
            EXPECT_EQ(GetLangString(kTables[id][i].key), kTables[id][i].text) << id << " " << kTables[id][i].key;
    }
    SetCurrentLanguage(7);  // any other value takes English
    EXPECT_EQ(GetLangString("cmdImport_Caption"), kEnglishStrings[2].text);
    // The start language: only the two exact Chinese identifiers choose Chinese (the four
    // common ones are started end to end).
    for (const std::uint16_t other : {4100, 0x0004, 0xFFFF}) {
        InitLanguageFromSystem(other);
        EXPECT_EQ(GetCurrentLanguage(), kEnglish) << other;
    }
    ResetLanguageState();
}

}  // namespace
