#include "win32/window_menus.h"

namespace quillbay::win32 {
namespace {

using app::Id;

constexpr int kFirstMenuBarId = static_cast<int>(Id::mnuFile);
constexpr int kLastMenuBarId = static_cast<int>(Id::mnuHelp);
constexpr int kFirstCommandId = static_cast<int>(Id::mnuFileExit);
constexpr int kLastCommandId = static_cast<int>(Id::mnuChainTlsUnchanged);
// The TLS submenu's place in the Certificate Chain menu.
constexpr UINT kChainMenuPosition = 1, kTlsSubmenuPosition = 2;

void AppendItem(HMENU menu, Id id, const wchar_t* caption) {
    AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(id), caption);
}

// Checked, it shows a bullet: one of a group.
void AppendRadioItem(HMENU menu, Id id, const wchar_t* caption) {
    AppendMenuW(menu, MF_STRING | MFT_RADIOCHECK, static_cast<UINT_PTR>(id), caption);
}

}  // namespace

HMENU BuildMenuBar() {
    // Menu-bar order is what Id::mnuFile..mnuHelp map to (by position).
    HMENU bar = CreateMenu();
    HMENU file = CreatePopupMenu();
    AppendItem(file, Id::mnuFileExit, L"Exit(&X)");
    HMENU chain = CreatePopupMenu();
    AppendItem(chain, Id::mnuChainManualImport, L"Manual Import...(&M)");
    AppendMenuW(chain, MF_SEPARATOR, 0, nullptr);
    HMENU tls = CreatePopupMenu();
    AppendRadioItem(tls, Id::mnuChainTlsCompatible, L"Compatible(&C)");
    AppendRadioItem(tls, Id::mnuChainTlsModern, L"Modern: TLS 1.2 and 1.3 Only(&M)");
    AppendRadioItem(tls, Id::mnuChainTlsUnchanged, L"Leave Unchanged(&L)");
    AppendMenuW(chain, MF_POPUP, reinterpret_cast<UINT_PTR>(tls), L"TLS Settings for Import(&T)");
    AppendMenuW(chain, MF_SEPARATOR, 0, nullptr);
    AppendItem(chain, Id::mnuChainViewSystemStore, L"View System Store(&V)");
    HMENU tools = CreatePopupMenu();
    AppendItem(tools, Id::mnuToolsSetPort, L"Set Deployment Port(&P)...");
    AppendItem(tools, Id::mnuToolsVerify, L"Verify Deployment(&V)");
    AppendMenuW(tools, MF_SEPARATOR, 0, nullptr);
    AppendItem(tools, Id::mnuToolsRenew, L"Replace Certificate Everywhere(&R)...");
    HMENU language = CreatePopupMenu();
    AppendItem(language, Id::mnuLanguageEnglish, L"&English");
    AppendItem(language, Id::mnuLanguageSimplifiedChinese, L"简体中文");
    AppendItem(language, Id::mnuLanguageTraditionalChinese, L"繁體中文");
    HMENU help = CreatePopupMenu();
    AppendItem(help, Id::mnuHelpAbout, L"About(&A)...");
    AppendMenuW(help, MF_SEPARATOR, 0, nullptr);
    AppendItem(help, Id::mnuHelpCheckUpdate, L"Check for Updates(&U)");

    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"File(&F)");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(chain), L"Certificate Chain(&C)");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(tools), L"Deployment(&D)");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(language), L"Language(&L)");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(help), L"Help(&H)");
    return bar;
}

bool IsMenuCommand(int id) { return id >= kFirstCommandId && id <= kLastCommandId; }

std::optional<MenuItem> FindMenuItem(HWND window, Id id) {
    HMENU menu = window ? GetMenu(window) : nullptr;
    if (!menu) return std::nullopt;
    const int value = static_cast<int>(id);
    if (id == Id::mnuChainTls) {
        HMENU chain = GetSubMenu(menu, kChainMenuPosition);
        if (!chain) return std::nullopt;
        return MenuItem{chain, kTlsSubmenuPosition, MF_BYPOSITION};
    }
    if (value >= kFirstMenuBarId && value <= kLastMenuBarId)
        return MenuItem{menu, static_cast<UINT>(value - kFirstMenuBarId), MF_BYPOSITION};
    if (IsMenuCommand(value)) return MenuItem{menu, static_cast<UINT>(value), MF_BYCOMMAND};
    return std::nullopt;
}

std::wstring MenuCaption(const MenuItem& item) {
    const BOOL byPosition = item.by == MF_BYPOSITION;
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING;
    if (!GetMenuItemInfoW(item.menu, item.item, byPosition, &info)) return {};
    std::wstring caption(info.cch + 1, L'\0');
    info.dwTypeData = caption.data();
    info.cch = static_cast<UINT>(caption.size());
    if (!GetMenuItemInfoW(item.menu, item.item, byPosition, &info)) return {};
    caption.resize(info.cch);
    return caption;
}

void SetMenuCaption(const MenuItem& item, const std::wstring& caption) {
    // ModifyMenu would also reset the check mark and the grayed state.
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING;
    info.dwTypeData = const_cast<wchar_t*>(caption.c_str());
    SetMenuItemInfoW(item.menu, item.item, item.by == MF_BYPOSITION, &info);
}

UINT MenuState(const MenuItem& item) { return GetMenuState(item.menu, item.item, item.by); }

}  // namespace quillbay::win32
