#pragma once
// The main window as the behaviour sees it. The Win32 adapter reads and writes the real
// controls; the test fake keeps their state in memory. No second copy of control state.
#include <optional>
#include <string>

namespace quillbay::app {

// Control and menu command IDs; fixed so that automation tools can find them.
enum class Id : int {
    Main = 0,  // the window itself: its caption is the title
    lstCertificates = 1001,
    lblCertList = 1002,
    cmdImport = 1003,
    lblStatus = 1004,
    lstSites = 1005,
    cmdDeploy = 1006,
    lblSiteList = 1007,
    chkHttpRedirect = 1008,
    TxtHttpsPort = 1009,
    lblHttpsPort = 1010,
    mnuFileExit = 2001,
    mnuChainManualImport = 2002,
    mnuChainViewSystemStore = 2003,
    mnuToolsSetPort = 2004,
    mnuLanguageEnglish = 2005,
    mnuLanguageSimplifiedChinese = 2006,
    mnuLanguageTraditionalChinese = 2007,
    mnuHelpAbout = 2008,
    mnuHelpCheckUpdate = 2009,
    mnuToolsVerify = 2010,
    mnuToolsRenew = 2011,
    // The TLS profile Import sets: radio items of the submenu mnuChainTls.
    mnuChainTlsCompatible = 2012,
    mnuChainTlsModern = 2013,
    mnuChainTlsUnchanged = 2014,
    // Top-level menus carry no command; these IDs name them for captions only.
    mnuFile = 2101,
    mnuChain = 2102,
    mnuTools = 2103,
    mnuLanguage = 2104,
    mnuHelp = 2105,
    mnuChainTls = 2106,  // the submenu under mnuChain
};

// Message box styles and answers, with the platform's values.
enum class MsgStyle : int {
    Critical = 16,
    Exclamation = 48,
    YesNoExclamation = 52,
    Information = 64,
    YesNoInformation = 68,
};
enum class MsgAnswer : int { Ok = 1, Yes = 6, No = 7 };

enum class CheckState : int { Unchecked = 0, Checked = 1, Grayed = 2 };

class Ui {
public:
    virtual ~Ui() = default;

    // Caption of the window, a label, button, check box or menu item; text of the port box.
    virtual void SetText(Id id, const std::string& text) = 0;
    virtual std::string Text(Id id) = 0;
    virtual void SetEnabled(Id id, bool enabled) = 0;
    virtual bool Enabled(Id id) = 0;

    // Lists (multiple selection; a click toggles one item).
    virtual void ListClear(Id list) = 0;
    virtual void ListAdd(Id list, const std::string& item) = 0;  // appends
    virtual int ListCount(Id list) = 0;
    virtual std::string ListItem(Id list, int index) = 0;
    virtual bool ListSelected(Id list, int index) = 0;
    virtual void ListSetSelected(Id list, int index, bool selected) = 0;
    // The item last clicked (the caret), -1 when none.
    virtual int ListIndex(Id list) = 0;

    virtual CheckState CheckValue(Id box) = 0;
    virtual void SetCheckValue(Id box, CheckState value) = 0;

    // Menu check marks.
    virtual void SetMenuChecked(Id item, bool checked) = 0;
    virtual bool MenuChecked(Id item) = 0;

    // Modal dialogs. ShowMessage returns the button pressed.
    virtual MsgAnswer ShowMessage(const std::string& text, MsgStyle style, const std::string& title) = 0;
    // Empty optional when cancelled.
    virtual std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                                const std::string& defaultText) = 0;
    // The open-file dialog's result text: empty when cancelled; one full path; or the
    // folder and names separated by NUL characters. filter: description|pattern|...
    virtual std::string OpenFileDialog(const std::string& title, const std::string& filter,
                                       const std::string& initialFolder, unsigned flags) = 0;

    // Shows the window, created hidden so that it first appears with its final captions.
    virtual void Show() = 0;
    virtual void SetBusyCursor(bool busy) = 0;
    // One pass of the message loop so the window repaints and other events may run.
    virtual void DoEvents() = 0;
    // Closes the window (ends the program once the current handler has returned).
    virtual void Close() = 0;
    // The user asked to close the window while a handler runs: long work stops at its next
    // safe point.
    virtual bool ClosePending() = 0;
};

}  // namespace quillbay::app
