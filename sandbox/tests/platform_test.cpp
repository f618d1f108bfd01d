// What the host keeps where programs read the platform instead of asking the tools: IIS's
// configuration files after seeds and appcmd's changes, read with the platform's XML reader, and
// the platform's certificate stores after certutil's imports and a seed.
#include <windows.h>
#include <wincrypt.h>
#include <shlwapi.h>
#include <xmllite.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <set>

#include "common/apphost.h"
#include "common/cmdline.h"
#include "common/state.h"
#include "common/text.h"
#include "harness.h"

namespace sandbox::test {
namespace {

using Lines = std::vector<std::wstring>;

// IIS's own form of its files: a BOM and the declaration, CR LF, four blanks a level.
bool IisForm(const std::string& text) {
    if (!text.starts_with("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<configuration>\r\n")) return false;
    for (size_t lf = text.find('\n'); lf != std::string::npos; lf = text.find('\n', lf + 1)) {
        size_t indent = std::min(text.find_first_not_of(' ', lf + 1), text.size()) - lf - 1;
        if (text[lf - 1] != '\r' || indent % 4 != 0) return false;
    }
    return true;
}

// The elements of a configuration file that carry the host's data, one line each with their
// attributes as the reader gives them back; "missing" without the file, "unreadable" when the
// reader refuses it, "not IIS's form" when its start or line ends differ from IIS's own.
Lines Outline(const std::wstring& path) {
    static const std::set<std::wstring> kData = {L"site",  L"binding", L"location", L"rule",
                                                 L"match", L"action",  L"configurationRedirection"};
    std::vector<unsigned char> bytes;
    if (!ReadFileBytes(path, bytes, nullptr)) return {L"missing"};
    std::string text(bytes.begin(), bytes.end());
    Lines lines;
    if (!IisForm(text)) lines.push_back(L"not IIS's form");
    using Create = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);
    auto create = reinterpret_cast<Create>(
        reinterpret_cast<void (*)()>(GetProcAddress(LoadLibraryW(L"xmllite.dll"), "CreateXmlReader")));
    // Wine's reader normalises a reference to a tab, CR or LF in an attribute as if the character
    // stood there itself (Windows' keeps it): such references pass as private-use characters.
    for (const char* c : {"9;", "A;", "D;"})
        for (size_t at = text.find(std::string("&#x") + c); at != std::string::npos; at = text.find(std::string("&#x") + c, at))
            text.insert(at + 3, "E00");
    IStream* stream = SHCreateMemStream(reinterpret_cast<const BYTE*>(text.data()), static_cast<UINT>(text.size()));
    IXmlReader* reader = nullptr;
    HRESULT hr = create(__uuidof(IXmlReader), reinterpret_cast<void**>(&reader), nullptr);
    if (SUCCEEDED(hr)) hr = reader->SetInput(stream);
    XmlNodeType type;
    while (SUCCEEDED(hr) && (hr = reader->Read(&type)) == S_OK) {
        const wchar_t *name = nullptr, *key = nullptr, *value = nullptr;
        if (type != XmlNodeType_Element || FAILED(reader->GetLocalName(&name, nullptr))) continue;
        std::wstring line = name;
        for (HRESULT more = reader->MoveToFirstAttribute(); more == S_OK; more = reader->MoveToNextAttribute())
            if (SUCCEEDED(reader->GetLocalName(&key, nullptr)) && SUCCEEDED(reader->GetValue(&value, nullptr)))
                line += L" " + std::wstring(key) + L"=" + value;
        for (wchar_t& c : line) c = c >= 0xE000 && c < 0xE020 ? c - 0xE000 : c;
        if (kData.contains(line.substr(0, line.find(L' '))) || line.starts_with(L"add input=")) lines.push_back(line);
    }
    if (FAILED(hr)) lines.push_back(L"unreadable");
    if (reader) reader->Release();
    if (stream) stream->Release();
    return lines;
}

std::wstring LocalApplicationHost() { return LocalConfigDirectory() + L"\\applicationHost.config"; }

// Seeds and appcmd changes, then what the configuration files hold (names with a quote, an
// ampersand, angle brackets, a tab and Chinese characters; a stopped site; one without bindings).
TEST(Config, FilesHoldWhatSeedAndAppcmdLeft) {
    const std::wstring odd = L"Odd \"Q\" & <A>", tab = L"Tab\there", cn = L"中文站点", appcmd = AppcmdPath() + L" ";
    const std::wstring rule = appcmd + L"set config " + QuoteArgument(odd) + L" -section:system.webServer/rewrite/rules ";
    const std::wstring shared = L"C:\\Shared IIS", site = L"site name=Default Web Site id=1";
    const Lines missing = {L"missing"}, http80 = {L"binding protocol=http bindingInformation=*:80:"};
    struct Case {
        std::vector<Row> rows;
        std::vector<std::pair<std::wstring, Lines>> files;
    };
    const Case cases[] = {
        {{Sbx(L"seed --site " + QuoteArgument(odd) + L" http/*:80:odd.example --site " + QuoteArgument(tab) +
              L" \"\" --site " + cn + L" http/*:80:"),
          Ran(appcmd + L"stop site " + QuoteArgument(tab), 0),
          Ran(appcmd + L"set site " + cn + L" /+bindings.[protocol='https',bindingInformation='*:443:cn.example',sslFlags='1']", 0),
          Ran(rule + L"/+[name='R',stopProcessing='True'] /[name='R'].match.url:(.*) /+[name='R'].conditions.[input='{HTTPS}',pattern='^OFF$'] "
                     L"/[name='R'].action.type:Redirect /[name='R'].action.url:https://{HTTP_HOST}/{R:1} "
                     L"/[name='R'].action.appendQueryString:False /commit:apphost", 0)},
         {{LocalApplicationHost(),
           {L"site name=" + odd + L" id=1", L"binding protocol=http bindingInformation=*:80:odd.example",
            L"site name=" + tab + L" id=2 serverAutoStart=false", L"site name=" + cn + L" id=3", http80[0],
            L"binding protocol=https bindingInformation=*:443:cn.example sslFlags=1", L"location path=" + odd + L" overrideMode=Allow",
            L"rule name=R stopProcessing=true", L"match url=(.*)", L"add input={HTTPS} pattern=^OFF$",
            L"action type=Redirect url=https://{HTTP_HOST}/{R:1} appendQueryString=false"}},
          {RedirectionConfigPath(), missing}}},
        // Shared: every save goes to the folder redirection.config names, and none stays behind locally.
        {{Sbx(L"seed --shared-config \"" + shared + L"\""), Ran(appcmd + L"add site /name:B /bindings:http/*:81:", 0)},
         {{RedirectionConfigPath(), {L"configurationRedirection enabled=true path=" + shared}},
          {shared + L"\\applicationHost.config", {site, http80[0], L"site name=B id=2", L"binding protocol=http bindingInformation=*:81:"}},
          {LocalApplicationHost(), missing}}},
        {{Sbx(L"seed")}, {{LocalApplicationHost(), {site, http80[0]}}, {RedirectionConfigPath(), missing}}},
        {{Sbx(L"seed --no-iis")}, {{LocalApplicationHost(), missing}}},
    };
    for (const Case& c : cases) {
        Check(c.rows);
        for (const auto& [path, outline] : c.files) EXPECT_EQ(Outline(path), outline) << Narrow(path);
    }
}

const DWORD kMachine = CERT_SYSTEM_STORE_LOCAL_MACHINE, kUser = CERT_SYSTEM_STORE_CURRENT_USER;

// The fixtures (root, inter, leaf) a program finds in a system store: "+key" where it can acquire
// the private key, "+info" where the key is named but cannot be acquired. *count: all certificates.
std::wstring Fixtures(DWORD location, const wchar_t* name, size_t* count = nullptr) {
    static const std::pair<std::wstring, std::wstring> kFixtures[] = {
        {Thumbprint(L"root"), L"root"}, {Thumbprint(L"inter"), L"inter"}, {Thumbprint(L"leaf"), L"leaf"}};
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, location | CERT_STORE_READONLY_FLAG, name);
    std::wstring found;
    PCCERT_CONTEXT context = nullptr;
    if (count) *count = 0;
    while (store && (context = CertEnumCertificatesInStore(store, context))) {
        if (count) ++*count;
        BYTE hash[20];
        DWORD size = sizeof hash, infoSize = 0, spec = 0;
        CertGetCertificateContextProperty(context, CERT_SHA1_HASH_PROP_ID, hash, &size);
        for (const auto& [thumbprint, fixture] : kFixtures) {
            if (thumbprint != HexUpper(hash, size)) continue;
            HCRYPTPROV_OR_NCRYPT_KEY_HANDLE key = 0;
            BOOL release = FALSE;
            bool named = CertGetCertificateContextProperty(context, CERT_KEY_PROV_INFO_PROP_ID, nullptr, &infoSize);
            bool acquired = CryptAcquireCertificatePrivateKey(context, CRYPT_ACQUIRE_SILENT_FLAG, nullptr, &key, &spec, &release);
            if (acquired && release) CryptReleaseContext(key, 0);
            found += (found.empty() ? L"" : L" ") + fixture + (named ? (acquired ? L"+key" : L"+info") : L"");
        }
    }
    if (store) CertCloseStore(store, 0);
    return found;
}

// certutil's imports reach the platform's stores of the same name and owner until the next seed,
// which leaves the prefix's own roots alone.
TEST(Stores, ImportsReachThePlatformsStoresUntilTheNextSeed) {
    const std::pair<DWORD, const wchar_t*> stores[] = {{kMachine, L"MY"}, {kMachine, L"CA"}, {kMachine, L"Root"}, {kUser, L"Root"}};
    const std::wstring imported[] = {L"leaf+key", L"inter", L"", L"root"};
    size_t roots = 0, rootsAfter = 0;
    Check({Sbx(L"seed")});
    Fixtures(kMachine, L"Root", &roots);
    Check({Ran(LeafImport(), 0), Ran(L"certutil.exe -user -addstore Root \"" + Fixture(L"root.crt") + L"\"", 0)});
    for (int seeded = 0; seeded < 2; ++seeded) {
        for (size_t i = 0; i < std::size(stores); ++i)
            EXPECT_EQ(Fixtures(stores[i].first, stores[i].second), seeded ? L"" : imported[i]) << i;
        Check({Sbx(L"seed")});
    }
    Fixtures(kMachine, L"Root", &rootsAfter);
    EXPECT_EQ(rootsAfter, roots);
    EXPECT_GT(roots, 0u);
}

}  // namespace
}  // namespace sandbox::test
