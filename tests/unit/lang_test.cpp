// Unit tests of the language store and the three string tables (Parts 2.1 and 2.3).
#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "lang/store.h"

namespace {

using namespace quillbay::lang;

// The standard key list, written out independently of the tables.
constexpr std::string_view kStandardKeyList[] = {
    "Main_Caption", "cmdDeploy_Caption", "cmdImport_Caption", "chkHttpRedirect_Caption",
    "chkHttpRedirect_Caption_no_module", "lblHttpsPort_Caption", "lblStatus_Ready",
    "lblStatus_IISDetected", "lblStatus_NoIIS", "lblStatus_CertsFound", "lblStatus_NoCerts",
    "lblStatus_Importing", "lblStatus_ImportingCertChain", "lblStatus_ImportingCertChain_Of",
    "lblStatus_ImportingPFX", "lblStatus_ApplyingSecurity", "lblStatus_ImportCompleteDeployReady",
    "lblStatus_ImportCompleteSecurityFailed", "lblStatus_GettingThumbprint",
    "lblStatus_ThumbprintSuccess", "lblStatus_RemovingOldBinding", "lblStatus_DomainWildcard",
    "lblStatus_BindingCert", "lblStatus_DeployComplete", "lblStatus_ConfiguringHttpRedirect",
    "lblStatus_RemovingHttpRedirect", "lblSiteList_Caption", "lblSiteList_Caption_Multi",
    "lblSiteList_Caption_One", "lblSiteList_NoIIS", "lblCertList_Caption", "mnuFile_Caption",
    "mnuFileExit_Caption", "mnuChain_Caption", "mnuChainManualImport_Caption",
    "mnuChainViewSystemStore_Caption", "mnuTools_Caption", "mnuToolsSetPort_Caption",
    "mnuHelp_Caption", "mnuHelpAbout_Caption", "mnuHelpCheckUpdate_Caption", "mnuLanguage_Caption",
    "MsgBox_InitError", "MsgBox_InitError_Title", "MsgBox_About_Version",
    "MsgBox_About_Description", "MsgBox_About_Title", "MsgBox_SetPort_InputTitle",
    "MsgBox_SetPort_InputPrompt", "MsgBox_SetPort_UpdateSuccess",
    "MsgBox_SetPort_UpdateSuccess_Title", "MsgBox_SetPort_InvalidPort",
    "MsgBox_SetPort_InvalidPort_Title", "MsgBox_Update_Checking", "MsgBox_Update_NewVersionFound",
    "MsgBox_Update_CurrentVersion", "MsgBox_Update_UpdateContent", "MsgBox_Update_DownloadPrompt",
    "MsgBox_Update_NoUpdateNeeded", "MsgBox_Update_NoUpdateNeeded_Title",
    "MsgBox_Update_FailedConnect", "MsgBox_Update_FailedConnect_Title", "MsgBox_Update_Error",
    "MsgBox_ManualImport_SelectFile", "MsgBox_ManualImport_FileFilter",
    "MsgBox_ManualImport_CompleteTitle", "MsgBox_ManualImport_Complete",
    "MsgBox_ManualImport_Complete_Certs", "MsgBox_ManualImport_Complete_Files",
    "MsgBox_ManualImport_Error", "MsgBox_ManualImport_Error_Title", "MsgBox_ViewSystemStore_Trying",
    "MsgBox_ViewSystemStore_Fallback", "MsgBox_ViewSystemStore_Failed",
    "MsgBox_ViewSystemStore_Failed_Title", "MsgBox_Import_SelectCert",
    "MsgBox_Import_CertImportSuccess", "MsgBox_Import_CertImportSuccessPFX",
    "MsgBox_Import_CompleteTitle", "MsgBox_Import_PartialCompleteTitle", "MsgBox_Deploy_SelectSite",
    "MsgBox_Deploy_NoPFX", "MsgBox_Deploy_NoPassword", "MsgBox_Deploy_GetThumbprintFailed",
    "MsgBox_Deploy_WarningWildcardBinding", "MsgBox_Deploy_WarningWildcardBinding_NoDomain",
    "MsgBox_Deploy_WarningWildcardBinding_Conflict", "MsgBox_Deploy_WarningWildcardBinding_Title",
    "MsgBox_Deploy_NetshFailed", "MsgBox_Deploy_NetshFailed_Error",
    "MsgBox_Deploy_NetshFailed_CheckLog", "MsgBox_Deploy_AppCmdFailed",
    "MsgBox_Deploy_AppCmdFailed_Error", "MsgBox_Deploy_AppCmdFailed_CheckLog",
    "MsgBox_Deploy_HttpRedirectFailed", "MsgBox_Deploy_HttpRedirectFailed_CheckModule",
    "MsgBox_Deploy_HttpRedirectDisableFailed", "MsgBox_Deploy_HttpRedirectDisableFailed_CheckIIS",
    "MsgBox_Deploy_Complete", "MsgBox_Deploy_Complete_Sites", "MsgBox_Deploy_Complete_Success",
    "MsgBox_Deploy_Complete_Title", "MsgBox_Deploy_UnexpectedError",
    "MsgBox_Deploy_UnexpectedError_Title", "MsgBox_Update_DownloadFailed",
    "MsgBox_ViewSystemStore_CantOpen", "MsgBox_ViewSystemStore_AdminNeeded", "MsgBox_LoadingIIS",
    "MsgBox_NoIISFound", "MsgBox_ErrorLoadingSites", "MsgBox_Update_DownloadingPackage",
    "MsgBox_ApplyingSecurityProtocol", "MsgBox_ConfiguringSCHANNEL", "MsgBox_ConfiguringCipher",
    "MsgBox_ConfiguringHash", "MsgBox_ConfiguringKeyExchange",
    "MsgBox_ConfiguringSecurityProtocols", "MsgBox_ConfiguringWDigest", "MsgBox_RefreshingIIS",
};

// The keys that follow the key list in every table, in this order.
constexpr std::string_view kExtraKeys[] = {
    "MsgBox_Import_PartialIntro",       "MsgBox_Import_PfxMissing",
    "MsgBox_Import_PfxFailed",          "MsgBox_Import_PfxFailed_CheckPassword",
    "MsgBox_Import_ChainsFailed",       "MsgBox_Import_RestartNote",
    "MsgBox_Import_UnexpectedError",    "MsgBox_Import_UnexpectedError_Title",
};

constexpr LanguageId kLanguages[] = {kEnglish, kSimplifiedChinese, kTraditionalChinese};

const std::string kCrLf = "\r\n";

const StringEntry* TableOf(LanguageId id) {
    switch (id) {
        case kSimplifiedChinese:
            return kSimplifiedChineseStrings;
        case kTraditionalChinese:
            return kTraditionalChineseStrings;
        default:
            return kEnglishStrings;
    }
}

const char* NameOf(LanguageId id) {
    switch (id) {
        case kSimplifiedChinese:
            return "Simplified Chinese";
        case kTraditionalChinese:
            return "Traditional Chinese";
        default:
            return "English";
    }
}

std::vector<std::string_view> AllTableKeys() {
    std::vector<std::string_view> keys(std::begin(kStandardKeyList), std::end(kStandardKeyList));
    keys.insert(keys.end(), std::begin(kExtraKeys), std::end(kExtraKeys));
    return keys;
}

std::string AsciiLower(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::string MissingText(std::string_view key) {
    return "[MISSING_TRANSLATION:" + std::string(key) + "]";
}

// Decodes UTF-8; false on any malformed sequence.
bool DecodeUtf8(std::string_view s, std::vector<char32_t>& out) {
    out.clear();
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        int extra = 0;
        char32_t cp = 0;
        if (b < 0x80) {
            cp = b;
        } else if ((b & 0xE0) == 0xC0) {
            extra = 1, cp = b & 0x1F;
        } else if ((b & 0xF0) == 0xE0) {
            extra = 2, cp = b & 0x0F;
        } else if ((b & 0xF8) == 0xF0) {
            extra = 3, cp = b & 0x07;
        } else {
            return false;
        }
        if (static_cast<std::size_t>(extra) >= s.size() - i) return false;  // truncated
        for (int k = 1; k <= extra; ++k) {
            const auto c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (c & 0x3F);
        }
        out.push_back(cp);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

// CJK ideographs, CJK punctuation and full-width forms.
bool ContainsCjk(std::string_view s) {
    std::vector<char32_t> cps;
    if (!DecodeUtf8(s, cps)) return true;  // not plain text either
    for (char32_t cp : cps) {
        if ((cp >= 0x2E80 && cp <= 0x9FFF) || (cp >= 0xF900 && cp <= 0xFAFF) ||
            (cp >= 0xFF00 && cp <= 0xFFEF)) {
            return true;
        }
    }
    return false;
}

bool StartsWith(std::string_view s, std::string_view p) { return s.substr(0, p.size()) == p; }
bool EndsWith(std::string_view s, std::string_view p) {
    return s.size() >= p.size() && s.substr(s.size() - p.size()) == p;
}

// The text of a key in a language, through the store.
std::string TextIn(LanguageId id, std::string_view key) {
    SetCurrentLanguage(id);
    return GetLangString(key);
}

std::map<std::string, std::string> SnapshotStore() {
    std::map<std::string, std::string> texts;
    for (std::string_view key : AllTableKeys()) texts[std::string(key)] = GetLangString(key);
    for (const char* key : {"mnuLanguageEnglish_Caption", "mnuLanguageSimplifiedChinese_Caption",
                            "mnuLanguageTraditionalChinese_Caption"}) {
        texts[key] = GetLangString(key);
    }
    return texts;
}

// The tests share one process: every test starts from the state before start-up.
class LangStore : public ::testing::Test {
protected:
    void SetUp() override { ResetLanguageState(); }
    void TearDown() override { ResetLanguageState(); }
};
using LangTexts = LangStore;

// ---------------------------------------------------------------------------------------
// The tables as data

TEST(LangTables, CountsFollowTheKeyList) {
    EXPECT_EQ(std::size(kStandardKeyList), 119u);
    EXPECT_EQ(kBaseKeyCount, std::size(kStandardKeyList));
    EXPECT_EQ(kExtraKeyCount, std::size(kExtraKeys));
    EXPECT_EQ(kStringCount, kBaseKeyCount + std::size(kExtraKeys));
}

TEST(LangTables, EveryTableHoldsTheKeyListInOrderThenTheExtraKeys) {
    const std::vector<std::string_view> expected = AllTableKeys();
    for (LanguageId id : kLanguages) {
        SCOPED_TRACE(NameOf(id));
        const StringEntry* table = TableOf(id);
        for (std::size_t i = 0; i < kStringCount; ++i) {
            EXPECT_EQ(table[i].key, expected[i]) << "at index " << i;
        }
    }
}

TEST(LangTables, NoKeyOccursTwiceIgnoringCase) {
    for (LanguageId id : kLanguages) {
        SCOPED_TRACE(NameOf(id));
        std::set<std::string> seen;
        for (std::size_t i = 0; i < kStringCount; ++i) {
            EXPECT_TRUE(seen.insert(AsciiLower(TableOf(id)[i].key)).second)
                << "duplicate key " << TableOf(id)[i].key;
        }
        // The store adds the three language names itself; no table may hold them.
        for (const char* extra : {"mnulanguageenglish_caption", "mnulanguagesimplifiedchinese_caption",
                                  "mnulanguagetraditionalchinese_caption"}) {
            EXPECT_EQ(seen.count(extra), 0u) << extra;
        }
    }
}

TEST(LangTables, EveryTextIsNonEmptyUtf8) {
    std::vector<char32_t> cps;
    for (LanguageId id : kLanguages) {
        for (std::size_t i = 0; i < kStringCount; ++i) {
            const StringEntry& e = TableOf(id)[i];
            EXPECT_FALSE(e.text.empty()) << NameOf(id) << " " << e.key;
            EXPECT_TRUE(DecodeUtf8(e.text, cps)) << NameOf(id) << " " << e.key;
        }
    }
}

TEST(LangTables, EnglishTextsArePlainAscii) {
    for (std::size_t i = 0; i < kStringCount; ++i) {
        for (char c : kEnglishStrings[i].text) {
            EXPECT_LT(static_cast<unsigned char>(c), 0x80u) << kEnglishStrings[i].key;
        }
    }
}

TEST(LangTables, LineBreaksAreCrLfAndNeverEndAText) {
    for (LanguageId id : kLanguages) {
        for (std::size_t i = 0; i < kStringCount; ++i) {
            const StringEntry& e = TableOf(id)[i];
            SCOPED_TRACE(std::string(NameOf(id)) + " " + std::string(e.key));
            for (std::size_t p = 0; p < e.text.size(); ++p) {
                if (e.text[p] == '\r') {
                    ASSERT_LT(p + 1, e.text.size());
                    EXPECT_EQ(e.text[p + 1], '\n');
                }
                if (e.text[p] == '\n') {
                    ASSERT_GT(p, 0u);
                    EXPECT_EQ(e.text[p - 1], '\r');
                }
            }
            EXPECT_FALSE(EndsWith(e.text, "\n") || EndsWith(e.text, "\r"));
        }
    }
}

TEST(LangTables, OnlyTheTwoEnglishCheckLogTextsBeginWithALineBreak) {
    std::set<std::string> beginning;
    for (LanguageId id : kLanguages) {
        for (std::size_t i = 0; i < kStringCount; ++i) {
            const StringEntry& e = TableOf(id)[i];
            if (StartsWith(e.text, "\r") || StartsWith(e.text, "\n")) {
                beginning.insert(std::string(NameOf(id)) + " " + std::string(e.key));
            }
        }
    }
    EXPECT_EQ(beginning, (std::set<std::string>{"English MsgBox_Deploy_AppCmdFailed_CheckLog",
                                                "English MsgBox_Deploy_NetshFailed_CheckLog"}));
}

// Pieces are joined with counts and names, so their outer blanks must agree in all three
// languages. The reference rows differ in one place: " of " ends with a blank, while its
// Chinese rows (" 个证书链...", " 個憑證鏈...") end with "..." before the selected count.
TEST(LangTables, OuterBlanksOfPiecesAgreeAcrossLanguages) {
    for (std::size_t i = 0; i < kStringCount; ++i) {
        const StringEntry& en = kEnglishStrings[i];
        for (LanguageId id : {kSimplifiedChinese, kTraditionalChinese}) {
            const StringEntry& zh = TableOf(id)[i];
            SCOPED_TRACE(std::string(NameOf(id)) + " " + std::string(en.key));
            EXPECT_EQ(StartsWith(en.text, " "), StartsWith(zh.text, " "));
            if (en.key != "lblStatus_ImportingCertChain_Of") {
                EXPECT_EQ(EndsWith(en.text, " "), EndsWith(zh.text, " "));
            }
        }
    }
}

TEST(LangTables, MenuCaptionsCarryTheSameAccessKeyInEveryLanguage) {
    int menuCaptions = 0;
    for (std::size_t i = 0; i < kStringCount; ++i) {
        const std::string_view key = kEnglishStrings[i].key;
        if (!StartsWith(key, "mnu") || !EndsWith(key, "_Caption")) continue;
        ++menuCaptions;
        const std::string_view en = kEnglishStrings[i].text;
        const std::size_t amp = en.find('&');
        ASSERT_NE(amp, std::string_view::npos) << key;
        ASSERT_GT(amp, 0u);
        ASSERT_EQ(en[amp - 1], '(') << key;
        const std::string accessKey(en.substr(amp - 1, 4));  // "(&X)"
        EXPECT_EQ(accessKey[3], ')') << key;
        for (LanguageId id : kLanguages) {
            const std::string_view text = TableOf(id)[i].text;
            EXPECT_NE(text.find(accessKey), std::string_view::npos) << NameOf(id) << " " << key;
            EXPECT_EQ(text.find('&'), text.rfind('&')) << NameOf(id) << " " << key;
            // "..." stands after the access key in Set Port and About, before it in Manual Import.
            if (key == "mnuToolsSetPort_Caption" || key == "mnuHelpAbout_Caption") {
                EXPECT_TRUE(EndsWith(text, accessKey + "...")) << NameOf(id) << " " << key;
            } else if (key == "mnuChainManualImport_Caption") {
                EXPECT_TRUE(EndsWith(text, "..." + accessKey)) << NameOf(id) << " " << key;
            } else {
                EXPECT_TRUE(EndsWith(text, accessKey)) << NameOf(id) << " " << key;
            }
        }
    }
    EXPECT_EQ(menuCaptions, 11);
}

// Simplified uses simplified characters and mainland terms, Traditional the traditional
// characters and the Taiwan terms of the reference rows: neither table borrows the other's.
TEST(LangTables, ChineseTablesKeepToTheirOwnScript) {
    const char* simplifiedOnly[] = {"证", "导", "点", "端口", "设", "个", "为", "这", "时", "会",
                                    "发", "无", "选", "择", "确", "认", "请", "检", "错", "误",
                                    "载", "网", "务", "启", "动", "关", "于", "络", "议", "库"};
    const char* traditionalOnly[] = {"證", "憑", "匯", "導", "點", "埠", "設", "個", "為", "這",
                                     "時", "會", "發", "無", "選", "擇", "確", "認", "請", "檢",
                                     "錯", "誤", "載", "網", "務", "啟", "動", "關", "於", "絡"};
    for (std::size_t i = 0; i < kStringCount; ++i) {
        const std::string_view hans = kSimplifiedChineseStrings[i].text;
        const std::string_view hant = kTraditionalChineseStrings[i].text;
        for (const char* s : simplifiedOnly) {
            EXPECT_EQ(hant.find(s), std::string_view::npos)
                << "Traditional " << kTraditionalChineseStrings[i].key << " contains " << s;
        }
        for (const char* t : traditionalOnly) {
            EXPECT_EQ(hans.find(t), std::string_view::npos)
                << "Simplified " << kSimplifiedChineseStrings[i].key << " contains " << t;
        }
    }
}

// ---------------------------------------------------------------------------------------
// The store and the lookup

TEST_F(LangStore, BeforeTheFirstLoadEveryLookupSaysNotLoaded) {
    EXPECT_EQ(StoreSize(), 0u);
    EXPECT_EQ(GetCurrentLanguage(), kEnglish);
    EXPECT_EQ(GetLangString("Main_Caption"),
              "Error: Language strings not loaded for key Main_Caption");
    EXPECT_EQ(GetLangString("mAIN_cAPTION"),
              "Error: Language strings not loaded for key mAIN_cAPTION");
    EXPECT_EQ(GetLangString("No_Such_Key"), "Error: Language strings not loaded for key No_Such_Key");
}

TEST_F(LangStore, AKeyNoTableHoldsShowsAsItsBracketedKeyWithItsCaseKept) {
    SetCurrentLanguage(kTraditionalChinese);
    EXPECT_EQ(GetLangString("No_Such_Key"), "[MISSING_TRANSLATION:No_Such_Key]");
    EXPECT_EQ(GetLangString("nO_sUCH_kEY"), "[MISSING_TRANSLATION:nO_sUCH_kEY]");
    EXPECT_EQ(GetLangString(""), "[MISSING_TRANSLATION:]");
    EXPECT_EQ(GetLangString("Main_Caption "), "[MISSING_TRANSLATION:Main_Caption ]");
}

TEST_F(LangStore, KeysCompareIgnoringAsciiCase) {
    SetCurrentLanguage(kSimplifiedChinese);
    const std::string exact = GetLangString("cmdImport_Caption");
    EXPECT_EQ(exact, "1. 导入证书链和PFX");
    EXPECT_EQ(GetLangString("cmdimport_caption"), exact);
    EXPECT_EQ(GetLangString("CMDIMPORT_CAPTION"), exact);
    EXPECT_EQ(GetLangString("main_caption"), "Quillbay");
    EXPECT_EQ(GetLangString("MAIN_CAPTION"), "Quillbay");
    EXPECT_EQ(GetLangString("MNULANGUAGEENGLISH_CAPTION"), "&English");
    EXPECT_EQ(GetLangString("msgbox_import_pfxmissing"), GetLangString("MsgBox_Import_PfxMissing"));
}

TEST_F(LangStore, EveryKeyResolvesInEveryLanguage) {
    for (LanguageId id : kLanguages) {
        SCOPED_TRACE(NameOf(id));
        SetCurrentLanguage(id);
        EXPECT_EQ(GetCurrentLanguage(), id);
        EXPECT_EQ(StoreSize(), kStringCount + 3);
        for (std::string_view key : kStandardKeyList) {
            const std::string text = GetLangString(key);
            EXPECT_NE(text, MissingText(key));
            EXPECT_FALSE(text.empty()) << key;
        }
        for (std::string_view key : kExtraKeys) EXPECT_NE(GetLangString(key), MissingText(key));
        // The store holds exactly what the table holds.
        for (std::size_t i = 0; i < kStringCount; ++i) {
            EXPECT_EQ(GetLangString(TableOf(id)[i].key), TableOf(id)[i].text);
        }
    }
}

TEST_F(LangStore, LanguageNamesAreTheSameInEveryLanguage) {
    for (LanguageId id : kLanguages) {
        SCOPED_TRACE(NameOf(id));
        SetCurrentLanguage(id);
        EXPECT_EQ(GetLangString("mnuLanguageEnglish_Caption"), "&English");
        EXPECT_EQ(GetLangString("mnuLanguageSimplifiedChinese_Caption"), "简体中文");
        EXPECT_EQ(GetLangString("mnuLanguageTraditionalChinese_Caption"), "繁體中文");
    }
}

TEST_F(LangStore, StartLanguageFollowsOnlyTheTwoExactChineseIdentifiers) {
    struct Case {
        std::uint16_t uiLanguage;
        LanguageId expected;
    };
    // Each case follows one that chose another language, so nothing is left over.
    const Case cases[] = {
        {1028, kTraditionalChinese},  // Chinese (Taiwan)
        {1033, kEnglish},             // English (United States)
        {2052, kSimplifiedChinese},   // Chinese (PRC)
        {3076, kEnglish},             // Chinese (Hong Kong SAR)
        {1028, kTraditionalChinese},
        {4100, kEnglish},             // Chinese (Singapore)
        {2052, kSimplifiedChinese},
        {5124, kEnglish},             // Chinese (Macao SAR)
        {0x0004, kEnglish},           // Chinese, neutral
        {0, kEnglish},
        {0xFFFF, kEnglish},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.uiLanguage);
        InitLanguageFromSystem(c.uiLanguage);
        EXPECT_EQ(GetCurrentLanguage(), c.expected);
        EXPECT_EQ(StoreSize(), kStringCount + 3);
        EXPECT_EQ(GetLangString("cmdImport_Caption"), TableOf(c.expected)[2].text);
    }
}

TEST_F(LangStore, SwitchingAwayAndBackGivesIdenticalTexts) {
    for (LanguageId id : kLanguages) {
        SCOPED_TRACE(NameOf(id));
        SetCurrentLanguage(id);
        const auto before = SnapshotStore();
        const std::size_t sizeBefore = StoreSize();
        for (LanguageId other : kLanguages) SetCurrentLanguage(other);
        SetCurrentLanguage(id);
        EXPECT_EQ(SnapshotStore(), before);
        EXPECT_EQ(StoreSize(), sizeBefore);
        SetCurrentLanguage(id);  // the language already current: the same store again
        EXPECT_EQ(SnapshotStore(), before);
    }
}

TEST_F(LangStore, EnglishAfterTraditionalChineseLeavesNoChineseText) {
    SetCurrentLanguage(kTraditionalChinese);
    ASSERT_TRUE(ContainsCjk(GetLangString("cmdDeploy_Caption")));
    SetCurrentLanguage(kEnglish);
    EXPECT_EQ(StoreSize(), kStringCount + 3);
    for (std::size_t i = 0; i < kStringCount; ++i) {
        const std::string_view key = kEnglishStrings[i].key;
        EXPECT_FALSE(ContainsCjk(GetLangString(key))) << key;
        EXPECT_EQ(GetLangString(key), kEnglishStrings[i].text) << key;
    }
}

TEST_F(LangStore, AnyOtherLanguageValueTakesTheEnglishTable) {
    SetCurrentLanguage(kTraditionalChinese);
    SetCurrentLanguage(7);
    EXPECT_EQ(StoreSize(), kStringCount + 3);
    EXPECT_EQ(GetLangString("cmdDeploy_Caption"), "2. Deploy PFX to Sites");
}

TEST_F(LangStore, ResetReturnsToTheStateBeforeStartUp) {
    InitLanguageFromSystem(2052);
    ASSERT_EQ(StoreSize(), kStringCount + 3);
    ResetLanguageState();
    EXPECT_EQ(StoreSize(), 0u);
    EXPECT_EQ(GetCurrentLanguage(), kEnglish);
    EXPECT_EQ(GetLangString("Main_Caption"),
              "Error: Language strings not loaded for key Main_Caption");
}

// ---------------------------------------------------------------------------------------
// Fixed texts, byte for byte, and how the pieces join

TEST_F(LangTexts, MultiLineTextsAreStoredWholeWithCrLf) {
    struct Row {
        const char* key;
        std::string en, hans, hant;
    };
    const Row rows[] = {
        {"MsgBox_Deploy_Complete", "Deployment task completed.\r\nSelected ",
         "部署任务完成。\r\n共选择 ", "部署任務完成。\r\n共選擇 "},
        {"MsgBox_ManualImport_Complete",
         "Manual import operation completed.\r\n\r\nSuccessfully imported ",
         "手动导入操作完成。\r\n\r\n成功通过 API 导入 ", "手動匯入操作完成。\r\n\r\n成功通過 API 匯入 "},
        {"MsgBox_Deploy_NetshFailed_CheckLog", "\r\nPlease check logs for more information.",
         ") 添加SSL绑定。错误码: \r\n请检查日志获取更多信息。",
         ") 添加SSL綁定。錯誤碼: \r\n請檢查日誌獲取更多信息。"},
        {"MsgBox_Deploy_AppCmdFailed_CheckLog", "\r\nPlease check logs for more information.",
         ") 添加IIS HTTPS绑定。错误码: \r\n请检查日志获取更多信息。",
         ") 添加IIS HTTPS綁定。錯誤碼: \r\n請檢查日誌獲取更多信息。"},
        {"MsgBox_ViewSystemStore_Failed",
         "Failed to open Certificate Manager (tried certlm.msc and certmgr.msc).\r\n"
         "Please confirm that the Certificate Management snap-in is installed on your OS and try "
         "running this tool with administrator privileges.",
         "无法打开证书管理器 (已尝试 certlm.msc 和 certmgr.msc)。\r\n"
         "请确认您的操作系统已安装证书管理单元，并尝试以管理员权限运行本工具。",
         "無法打開憑證管理器 (已嘗試 certlm.msc 和 certmgr.msc)。\r\n"
         "請確認您的操作系統已安裝憑證管理單元，並嘗試以管理員權限運行本工具。"},
        {"MsgBox_Import_CertImportSuccessPFX",
         " certificate chains and 1 PFX certificate.\r\n"
         "You can now select sites from the right list for deployment.",
         " 个证书链和 1 个PFX证书。\r\n现在您可以从右侧列表选择站点进行部署。",
         " 個憑證鏈和 1 個PFX憑證。\r\n現在您可以從右側列表選擇站點進行部署。"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(TextIn(kEnglish, r.key), r.en) << r.key;
        EXPECT_EQ(TextIn(kSimplifiedChinese, r.key), r.hans) << r.key;
        EXPECT_EQ(TextIn(kTraditionalChinese, r.key), r.hant) << r.key;
    }
}

TEST_F(LangTexts, ManualImportFileFilterAlternatesDescriptionsAndPatterns) {
    EXPECT_EQ(TextIn(kEnglish, "MsgBox_ManualImport_FileFilter"),
              "Certificate Files(*.der;*.cer;*.crt)|*.der;*.cer;*.crt|All Files(*.*)|*.*");
    EXPECT_EQ(TextIn(kSimplifiedChinese, "MsgBox_ManualImport_FileFilter"),
              "证书文件(*.der;*.cer;*.crt)|*.der;*.cer;*.crt|所有文件(*.*)|*.*");
    EXPECT_EQ(TextIn(kTraditionalChinese, "MsgBox_ManualImport_FileFilter"),
              "憑證文件(*.der;*.cer;*.crt)|*.der;*.cer;*.crt|所有文件(*.*)|*.*");
}

TEST_F(LangTexts, SiteListHeadingJoinsItsSuffixDirectly) {
    auto heading = [](LanguageId id, const char* suffixKey) {
        return TextIn(id, "lblSiteList_Caption") + TextIn(id, suffixKey);
    };
    EXPECT_EQ(heading(kEnglish, "lblSiteList_Caption_One"), "IIS Site List (Only one):");
    EXPECT_EQ(heading(kEnglish, "lblSiteList_Caption_Multi"),
              "IIS Site List (Multi-select enabled):");
    EXPECT_EQ(heading(kSimplifiedChinese, "lblSiteList_Caption_One"), "IIS 站点列表 (单选):");
    EXPECT_EQ(heading(kSimplifiedChinese, "lblSiteList_Caption_Multi"), "IIS 站点列表 (可多选):");
    EXPECT_EQ(heading(kTraditionalChinese, "lblSiteList_Caption_One"), "IIS 站點列表 (單選):");
    EXPECT_EQ(heading(kTraditionalChinese, "lblSiteList_Caption_Multi"), "IIS 站點列表 (可多選):");
}

TEST_F(LangTexts, MainCaptionIsTheProductNameInEveryLanguage) {
    for (LanguageId id : kLanguages) EXPECT_EQ(TextIn(id, "Main_Caption"), "Quillbay") << NameOf(id);
}

// The English messages that the showing Parts compose from pieces and counts.
TEST_F(LangTexts, EnglishPiecesComposeTheMessagesOfTheShowingParts) {
    SetCurrentLanguage(kEnglish);
    auto t = [](const char* key) { return GetLangString(key); };
    EXPECT_EQ("3" + t("lblStatus_CertsFound"), "3 certificates found, all selected by default.");
    EXPECT_EQ(t("lblStatus_ImportingCertChain") + "2" + t("lblStatus_ImportingCertChain_Of") + "3",
              "Imported 2 of 3");
    EXPECT_EQ(t("MsgBox_Import_CertImportSuccess") + "3" + t("MsgBox_Import_CertImportSuccessPFX"),
              "Certificate import and security configuration successful! Imported 3 certificate "
              "chains and 1 PFX certificate.\r\nYou can now select sites from the right list for "
              "deployment.");
    EXPECT_EQ(t("MsgBox_ManualImport_Complete") + "2" + t("MsgBox_ManualImport_Complete_Certs") +
                  "2" + t("MsgBox_ManualImport_Complete_Files"),
              "Manual import operation completed.\r\n\r\nSuccessfully imported 2 certificates to "
              "system intermediate certificate store.\r\nSuccessfully copied 2 files to 'chain/' "
              "directory.");
    EXPECT_EQ(t("MsgBox_Deploy_Complete") + "3" + t("MsgBox_Deploy_Complete_Sites") + "1" +
                  t("MsgBox_Deploy_Complete_Success"),
              "Deployment task completed.\r\nSelected 3 sites, successfully deployed to 1 sites."
              "\r\nIt is recommended to restart sites or perform iisreset to ensure changes take "
              "effect.");
    EXPECT_EQ(t("MsgBox_Deploy_NetshFailed") + "Default Web Site" +
                  t("MsgBox_Deploy_NetshFailed_Error") + t("lblStatus_DomainWildcard") +
                  t("MsgBox_Deploy_NetshFailed_CheckLog"),
              "Warning: Failed to add SSL binding for site 'Default Web Site'. Error code: "
              "Wildcard\r\nPlease check logs for more information.");
    EXPECT_EQ(t("lblStatus_BindingCert") + "Default Web Site" + "' (域名: " +
                  t("lblStatus_DomainWildcard") + ")...",
              "Binding certificate for site 'Default Web Site' (域名: Wildcard)...");
    EXPECT_EQ(t("MsgBox_Update_NewVersionFound") + "1.0.11" + t("MsgBox_Update_CurrentVersion") +
                  "1.0.10)",
              "New version found: 1.0.11 (Current version: 1.0.10)");
    EXPECT_EQ(t("MsgBox_InitError") + "boom", "An error occurred during form initialization: boom");
}

// In Chinese the deployment warnings label the inserted value as the domain and carry the
// words for error code at the end of the first line.
TEST_F(LangTexts, ChineseDeploymentWarningsJoinAroundTheDomain) {
    SetCurrentLanguage(kSimplifiedChinese);
    EXPECT_EQ(GetLangString("MsgBox_Deploy_AppCmdFailed") + "Default Web Site" +
                  GetLangString("MsgBox_Deploy_AppCmdFailed_Error") + "www.example.com" +
                  GetLangString("MsgBox_Deploy_AppCmdFailed_CheckLog"),
              "警告: 无法为站点 'Default Web Site' (域名: www.example.com) 添加IIS HTTPS绑定。"
              "错误码: \r\n请检查日志获取更多信息。");
    SetCurrentLanguage(kTraditionalChinese);
    EXPECT_EQ(GetLangString("MsgBox_Deploy_NetshFailed") + "Default Web Site" +
                  GetLangString("MsgBox_Deploy_NetshFailed_Error") +
                  GetLangString("lblStatus_DomainWildcard") +
                  GetLangString("MsgBox_Deploy_NetshFailed_CheckLog"),
              "警告: 無法為站點 'Default Web Site' (網域: 萬用字元) 添加SSL綁定。錯誤碼: \r\n"
              "請檢查日誌獲取更多信息。");
}

TEST_F(LangTexts, ExtraImportKeysCarryTheirEnglishTexts) {
    SetCurrentLanguage(kEnglish);
    EXPECT_EQ(GetLangString("MsgBox_Import_PartialIntro"),
              "The import finished, but not everything succeeded:");
    EXPECT_EQ(GetLangString("MsgBox_Import_PfxMissing"),
              "The PFX was not imported because fullchain.pfx or password.txt is missing.");
    EXPECT_EQ(GetLangString("MsgBox_Import_PfxFailed") + "-2147024891" +
                  GetLangString("MsgBox_Import_PfxFailed_CheckPassword"),
              "certutil could not import fullchain.pfx (exit code -2147024891): check the "
              "password in password.txt.");
    EXPECT_EQ("2" + GetLangString("MsgBox_Import_ChainsFailed"),
              "2 of the selected chain certificates could not be imported.");
    EXPECT_EQ(GetLangString("MsgBox_Import_RestartNote"),
              "SCHANNEL changes take full effect after the server restarts.");
    EXPECT_EQ(GetLangString("MsgBox_Import_UnexpectedError") + "disk full",
              "An unexpected error occurred during import: disk full");
    EXPECT_EQ(GetLangString("MsgBox_Import_UnexpectedError_Title"), "Import Error");
}

TEST_F(LangTexts, ChinesePfxFailurePiecesFrameTheExitCode) {
    SetCurrentLanguage(kSimplifiedChinese);
    EXPECT_EQ(GetLangString("MsgBox_Import_PfxFailed") + "5" +
                  GetLangString("MsgBox_Import_PfxFailed_CheckPassword"),
              "certutil 无法导入 fullchain.pfx (退出代码 5)，请检查 password.txt 中的密码。");
    SetCurrentLanguage(kTraditionalChinese);
    EXPECT_EQ(GetLangString("MsgBox_Import_PfxFailed") + "5" +
                  GetLangString("MsgBox_Import_PfxFailed_CheckPassword"),
              "certutil 無法匯入 fullchain.pfx (結束代碼 5)，請檢查 password.txt 中的密碼。");
}

}  // namespace
