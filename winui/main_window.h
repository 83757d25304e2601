#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "window/window_layout.h"
#include "window/window_model.h"
#include "winui/win32_dialogs.h"
#include "winui/win32_host.h"

namespace vaxo::win {

inline constexpr COLORREF kHighlight = RGB(255, 255, 225);  // behind dark text
inline constexpr COLORREF kBand = RGB(246, 248, 252);       // the General page's top band
inline constexpr COLORREF kDisplay = RGB(20, 28, 24);       // a receiver's display
inline constexpr COLORREF kDisplayText = RGB(140, 255, 170);

// What the window runs on.
struct MainWindowServices {
    PortLayer& portLayer;
    PortIo& linkPort;
    LinkTiming& timing;
    std::function<std::optional<MemoryDump>(int bank)> readBack = {};
};

// The main window drawn with the Windows API and the common controls: five
// pages and the On air page over the strip, built from the shared layout,
// bound to the window model by the controls' names.
class MainWindow : private WindowView {
  public:
    MainWindow(MainWindowServices services, const std::vector<std::string>& arguments);
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;
    ~MainWindow() override;

    bool IsFirstInstance() const { return model_ && model_->IsFirstInstance(); }
    HWND Handle() const { return window_; }
    // Handles the window's shortcuts, and holds back the operator's keys and
    // clicks while a send runs; true when the message is done with.
    bool PreTranslate(const MSG& message);
    // The loop has nothing to do.
    void OnIdle();

  private:
    static constexpr UINT_PTR kDynamicTextTimer = 1;  // the On air page's dynamic PS

    struct Fonts {
        HFONT normal = nullptr, bold = nullptr, title = nullptr, display = nullptr,
              displayLarge = nullptr;
    };

    // WindowView
    void Show(const WindowState& state) override;
    void OnAirChanged() override { ShowOnAir(); }
    void LoadResources() override;
    void Restore() override;
    void Close() override;

    static LRESULT CALLBACK ReceiveWindow(HWND window, UINT message, WPARAM w, LPARAM l);
    static LRESULT CALLBACK ReceivePage(HWND page, UINT message, WPARAM w, LPARAM l);
    LRESULT Receive(UINT message, WPARAM w, LPARAM l);
    void RegisterClasses();
    void CreateControls();
    HWND CreateControl(const ControlDesign& control);
    void CreateCheckList(const ControlDesign& control, HWND parent);
    void MakeFonts();
    void DeleteFonts();
    void PlaceControls();
    int Scale(int pixels) const;
    RECT PageArea() const;
    void AddTooltips();
    void ApplyLanguage();

    void OnCommand(int id, int code, HWND control);
    void OnTextChanged(const ControlDesign& control, HWND box);
    void OnTextLeft(const ControlDesign& control, HWND box);
    void OnButton(const ControlDesign& control, HWND button);
    LRESULT OnNotify(const NMHDR& header);
    // The brush of a control with colours of its own; none for the others.
    HBRUSH OnColour(HDC dc, HWND control);
    void OnDrawPicture(const DRAWITEMSTRUCT& item);
    void PaintPage(HWND page, HDC dc);
    void PaintStrip(HDC dc);
    void SelectPage(int index);
    void ShowOnAir();
    void ShowNextDynamicText();
    void RegisterFileType();
    void ShowTexts(const WindowState& state);
    void ShowTicks(const WindowState& state);
    void ShowLabels(const WindowState& state);
    void ShowSending(const WindowState& state);
    void SetText(HWND control, const std::wstring& text);

    const ControlDesign* DesignOf(HWND control) const;
    HWND Named(const std::string& name) const;

    MainWindowServices services_;
    Win32Host host_;
    Win32Dialogs dialogs_;
    HWND window_ = nullptr;
    HWND tooltip_ = nullptr;
    std::map<std::string, HWND, std::less<>> controls_;
    std::map<HWND, const ControlDesign*> designs_;
    std::vector<HWND> decoderIdRows_;
    std::map<HWND, std::wstring> tips_;
    std::map<HWND, std::wstring> typed_;  // each station text box's last text the code page holds
    std::map<std::string, HBITMAP, std::less<>> pictures_;  // logo.bmp, skin.bmp
    Fonts fonts_;
    HBRUSH highlight_ = nullptr, band_ = nullptr, display_ = nullptr, error_ = nullptr;
    int dpi_ = 96;
    bool refreshing_ = false;
    bool onTop_ = false;
    bool sending_ = false;
    std::vector<std::string> dynamicTexts_;
    std::size_t dynamicText_ = 0;
    std::unique_ptr<WindowModel> model_;
};

}  // namespace vaxo::win
