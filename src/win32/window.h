#pragma once
// The main window: creates the controls and menus, reads and writes them for the
// behaviour (app::Ui), and routes their events to the handlers of app/. It keeps no copy
// of control state; every read goes to the real control.
//   window.cpp         creation, the window procedure, running handlers, the message loop
//   window_ui.cpp      app::Ui on the real controls, menus and dialogs
//   window_layout.cpp  the control table in twips, DPI scaling, the font
//   window_menus.cpp   the menu bar and finding its items
//   automation_hooks.cpp  the registered messages UI automation reads the window with
#include <windows.h>

#include <optional>
#include <string>

#include "app/ui.h"
#include "win32/automation_hooks.h"

namespace quillbay::app {
struct Main;
}

namespace quillbay::win32 {

class MainWindow final : public app::Ui {
public:
    explicit MainWindow(HINSTANCE instance);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Registers the class and creates the window with its controls and menus in their
    // initial state, sized for the monitor's DPI and centred, still hidden: the load event
    // shows it once its captions are in the user's language. Throws Failure.
    void Create(int showCommand);
    // The handlers' context; it needs this Ui, so it is connected after construction.
    void Attach(app::Main& main) { main_ = &main; }
    // The window's load event. False when it failed; the window is then closing.
    bool Load();
    // Runs until the window is gone; returns the process exit code.
    int RunMessageLoop();
    HWND Handle() const { return hwnd_; }

    // app::Ui
    void SetText(app::Id id, const std::string& text) override;
    std::string Text(app::Id id) override;
    void SetEnabled(app::Id id, bool enabled) override;
    bool Enabled(app::Id id) override;
    void ListClear(app::Id list) override;
    void ListAdd(app::Id list, const std::string& item) override;
    int ListCount(app::Id list) override;
    std::string ListItem(app::Id list, int index) override;
    bool ListSelected(app::Id list, int index) override;
    void ListSetSelected(app::Id list, int index, bool selected) override;
    int ListIndex(app::Id list) override;
    app::CheckState CheckValue(app::Id box) override;
    void SetCheckValue(app::Id box, app::CheckState value) override;
    void SetMenuChecked(app::Id item, bool checked) override;
    bool MenuChecked(app::Id item) override;
    app::MsgAnswer ShowMessage(const std::string& text, app::MsgStyle style, const std::string& title) override;
    std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                        const std::string& defaultText) override;
    std::string OpenFileDialog(const std::string& title, const std::string& filter,
                               const std::string& initialFolder, unsigned flags) override;
    void Show() override;
    void SetBusyCursor(bool busy) override;
    void DoEvents() override;
    bool ClosePending() override { return closeRequested_; }
    void Close() override;

private:
    // Posted to the window itself: a list may draw itself again (wParam: its ID).
    static constexpr UINT kResumeListRedraw = WM_APP + 1;

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnCommand(int id, int code, HWND control);
    void ApplyDpi(UINT dpi);

    // Every call into app/ goes through here: counts nesting (a handler may pump messages
    // and so start another), turns an escaped failure into a logged error box, and closes
    // the window once the outermost handler has returned if a close was asked meanwhile.
    template <class Handler>
    void RunHandler(const char* name, Handler&& handler);
    void CloseWhenIdle();

    HWND Control(app::Id id) const;
    // Stops a list drawing itself until the message loop runs again (see ListAdd).
    void DeferListRedraw(app::Id list);
    void ResumeListRedraw(app::Id list);

    HINSTANCE instance_;
    HWND hwnd_ = nullptr;
    HFONT font_ = nullptr;
    app::Main* main_ = nullptr;
    AutomationHooks automation_;
    int handlerDepth_ = 0;
    bool closeRequested_ = false;
    bool busy_ = false;
    bool loaded_ = false;
    int showCommand_ = SW_SHOWNORMAL;
    bool certListRedrawDeferred_ = false;
    bool siteListRedrawDeferred_ = false;
};

}  // namespace quillbay::win32
