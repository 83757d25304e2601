// The window's controls, made from the shared layout and placed at the
// window's dots per inch; its fonts, tooltips, language and pictures.
// <windows.h> first: the common controls' header builds on it.
#include <windows.h>

#include <commctrl.h>
#include <richedit.h>

#include "base/file_io.h"
#include "formats/language_file.h"
#include "platform/program_dir.h"
#include "window/window_language.h"
#include "window/window_resources.h"
#include "winui/control_ids.h"
#include "winui/main_window.h"
#include "winui/wide_text.h"

namespace vaxo::win {
namespace {

constexpr wchar_t kPageClass[] = L"VaxoPage";
constexpr int kCheckListRow = 17;
constexpr int kDropDownHeight = 240;

HWND Make(DWORD extended, const wchar_t* type, const std::wstring& text, DWORD style, HWND parent,
          int id) {
    return ::CreateWindowExW(extended, type, text.c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 0,
                             0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                             ::GetModuleHandleW(nullptr), nullptr);
}

DWORD LabelStyle(const ControlDesign& control) {
    if (control.name == "Label11") {
        return SS_CENTER | SS_CENTERIMAGE | SS_NOTIFY;
    }
    if (control.name == "PORTINFO") {
        return SS_LEFT | SS_ENDELLIPSIS | SS_NOTIFY;
    }
    return (control.rightAligned ? SS_RIGHT : SS_LEFT) | SS_NOTIFY | SS_NOPREFIX;
}

int DpiOf(HWND window) {
    using DpiForWindow = UINT(WINAPI*)(HWND);
    const auto dpiForWindow = reinterpret_cast<DpiForWindow>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (dpiForWindow) {
        return static_cast<int>(dpiForWindow(window));
    }
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSX);
    ::ReleaseDC(nullptr, screen);
    return dpi;
}

HFONT MakeFont(int pixels, bool bold, const wchar_t* face) {
    return ::CreateFontW(-pixels, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                         DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                         CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_SWISS, face);
}

DWORD CALLBACK StreamFromString(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* read) {
    auto* rest = reinterpret_cast<std::string_view*>(cookie);
    const auto count = std::min(rest->size(), static_cast<std::size_t>(size));
    std::copy_n(rest->data(), count, buffer);
    rest->remove_prefix(count);
    *read = static_cast<LONG>(count);
    return 0;
}

// The file's size; none when it does not exist.
std::optional<std::uint64_t> FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA facts{};
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &facts)) {
        return std::nullopt;
    }
    return (std::uint64_t{facts.nFileSizeHigh} << 32) | facts.nFileSizeLow;
}

// A page's place among the tabs.
int TabIndex(const ControlDesign& page) {
    int index = 0;
    for (const ControlDesign& control : WindowLayout()) {
        if (&control == &page) {
            return index;
        }
        index += control.kind == ControlKind::Page ? 1 : 0;
    }
    return -1;
}

}  // namespace

void MainWindow::RegisterClasses() {
    WNDCLASSEXW window{};
    window.cbSize = sizeof window;
    window.lpfnWndProc = &MainWindow::ReceiveWindow;
    window.hInstance = ::GetModuleHandleW(nullptr);
    window.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    window.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
    window.hIcon = ::LoadIconW(window.hInstance, MAKEINTRESOURCEW(1));
    window.lpszClassName = kWindowClass;
    ::RegisterClassExW(&window);
    WNDCLASSEXW page = window;
    page.lpfnWndProc = &MainWindow::ReceivePage;
    page.hIcon = nullptr;
    page.lpszClassName = kPageClass;
    ::RegisterClassExW(&page);
}

int MainWindow::Scale(int pixels) const {
    return ::MulDiv(pixels, dpi_, 96);
}

void MainWindow::MakeFonts() {
    dpi_ = DpiOf(window_);
    fonts_.normal = MakeFont(Scale(11), false, L"Tahoma");
    fonts_.bold = MakeFont(Scale(11), true, L"Tahoma");
    fonts_.title = MakeFont(Scale(15), true, L"Tahoma");
    fonts_.display = MakeFont(Scale(11), false, L"Courier New");
    fonts_.displayLarge = MakeFont(Scale(22), true, L"Courier New");
}

void MainWindow::DeleteFonts() {
    for (HFONT font :
         {fonts_.normal, fonts_.bold, fonts_.title, fonts_.display, fonts_.displayLarge}) {
        ::DeleteObject(font);
    }
    fonts_ = {};
}

void MainWindow::CreateControls() {
    for (const ControlDesign& control : WindowLayout()) {
        if (HWND made = CreateControl(control)) {
            controls_[control.name] = made;
            designs_[made] = &control;
            tips_[made] = FromUtf8(control.hint);
        }
    }
    ::ShowWindow(Named("Label11"), SW_HIDE);
}

HWND MainWindow::CreateControl(const ControlDesign& control) {
    const std::string page = PageOf(control);
    HWND parent = control.kind == ControlKind::Page ? Named(control.parent)
                                                    : (page.empty() ? window_ : Named(page));
    const int id = ControlId(control);
    const std::wstring caption = FromUtf8(control.caption);
    switch (control.kind) {
        case ControlKind::Tabs:
            return Make(WS_EX_CONTROLPARENT, WC_TABCONTROLW, L"",
                        WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_TABSTOP, parent, id);
        case ControlKind::Page: {
            // Not clipping its children: the groups' insides are the page's face.
            HWND made =
                ::CreateWindowExW(WS_EX_CONTROLPARENT, kPageClass, caption.c_str(), WS_CHILD, 0, 0,
                                  0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                  ::GetModuleHandleW(nullptr), nullptr);
            ::SetWindowLongPtrW(made, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
            TCITEMW tab{};
            tab.mask = TCIF_TEXT;
            tab.pszText = const_cast<wchar_t*>(caption.c_str());
            ::SendMessageW(parent, TCM_INSERTITEMW, ::SendMessageW(parent, TCM_GETITEMCOUNT, 0, 0),
                           reinterpret_cast<LPARAM>(&tab));
            return made;
        }
        case ControlKind::Group:
            return Make(0, WC_BUTTONW, caption, BS_GROUPBOX, parent, id);
        case ControlKind::Panel:
            return nullptr;  // painted by its page
        case ControlKind::Label:
            return Make(0, WC_STATICW, caption, LabelStyle(control), parent, id);
        case ControlKind::Link:
            return Make(0, WC_LINK, L"<a>" + caption + L"</a>", WS_TABSTOP, parent, id);
        case ControlKind::Picture:
            return control.name == "SKIN" ? nullptr  // the strip is the window's own background
                                          : Make(0, WC_STATICW, L"", SS_OWNERDRAW, parent, id);
        case ControlKind::TextBox:
        case ControlKind::FileNameBox: {
            HWND box = Make(WS_EX_CLIENTEDGE, WC_EDITW, L"",
                            ES_AUTOHSCROLL | WS_TABSTOP | (control.capitals ? ES_UPPERCASE : 0),
                            parent, id);
            ::SendMessageW(box, EM_LIMITTEXT, control.limit > 0 ? control.limit : 32767, 0);
            return box;
        }
        case ControlKind::TickBox:
            return Make(0, WC_BUTTONW, caption, BS_AUTOCHECKBOX | WS_TABSTOP, parent, id);
        case ControlKind::Choice:
            return Make(0, WC_BUTTONW, caption, BS_RADIOBUTTON | WS_TABSTOP, parent, id);
        case ControlKind::Button:
            return Make(0, WC_BUTTONW, caption, BS_PUSHBUTTON | WS_TABSTOP, parent, id);
        case ControlKind::PickList: {
            HWND list =
                Make(0, WC_COMBOBOXW, L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, parent, id);
            for (const std::string& item : control.items) {
                ::SendMessageW(list, CB_ADDSTRING, 0,
                               reinterpret_cast<LPARAM>(FromUtf8(item).c_str()));
            }
            return list;
        }
        case ControlKind::Slider: {
            HWND bar = Make(0, TRACKBAR_CLASSW, L"",
                            TBS_HORZ | TBS_AUTOTICKS | TBS_BOTTOM | WS_TABSTOP, parent, id);
            ::SendMessageW(bar, TBM_SETRANGE, FALSE, MAKELPARAM(control.low, control.high));
            ::SendMessageW(bar, TBM_SETPAGESIZE, 0, 1);
            ::SendMessageW(bar, TBM_SETTICFREQ, 1, 0);
            return bar;
        }
        case ControlKind::CheckList:
            CreateCheckList(control, parent);
            return nullptr;
        case ControlKind::Progress: {
            HWND bar = Make(0, PROGRESS_CLASSW, L"", 0, parent, id);
            ::SendMessageW(bar, PBM_SETRANGE32, 0, 100);
            return bar;
        }
        case ControlKind::Memo:
            return Make(WS_EX_CLIENTEDGE, WC_EDITW, L"",
                        ES_MULTILINE | ES_READONLY | WS_VSCROLL |
                            (control.name == "SENT" ? WS_HSCROLL | ES_AUTOHSCROLL : 0),
                        parent, id);
        case ControlKind::RichText: {
            HWND help =
                Make(WS_EX_CLIENTEDGE, MSFTEDIT_CLASS, L"(help file vaxohelp.rtf is missing)",
                     ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_TABSTOP, parent, id);
            ::SendMessageW(help, EM_SETBKGNDCOLOR, 0, kHighlight);
            return help;
        }
    }
    return nullptr;
}

void MainWindow::CreateCheckList(const ControlDesign& control, HWND parent) {
    for (std::size_t row = 0; row < control.items.size(); ++row) {
        decoderIdRows_.push_back(Make(0, WC_BUTTONW, FromUtf8(control.items[row]),
                                      BS_AUTOCHECKBOX | WS_TABSTOP, parent,
                                      CheckListRowId(static_cast<int>(row))));
    }
}

// The pages fill the tab control's display area.
RECT MainWindow::PageArea() const {
    const Place& tabs = FindControl("Zalozky")->place;
    RECT area{0, 0, Scale(tabs.width), Scale(tabs.height)};
    ::SendMessageW(Named("Zalozky"), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    return area;
}

void MainWindow::PlaceControls() {
    const DWORD style = static_cast<DWORD>(::GetWindowLongPtrW(window_, GWL_STYLE));
    const DWORD extended = static_cast<DWORD>(::GetWindowLongPtrW(window_, GWL_EXSTYLE));
    RECT frame{0, 0, Scale(kWindowWidth), Scale(kWindowHeight)};
    ::AdjustWindowRectEx(&frame, style, FALSE, extended);
    ::SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    const RECT pageArea = PageArea();
    for (const auto& [made, control] : designs_) {
        const Place p = PlaceOnPage(*control);
        const bool page = control->kind == ControlKind::Page;
        const int height =
            control->kind == ControlKind::PickList ? p.height + kDropDownHeight : p.height;
        ::SetWindowPos(
            made, nullptr, page ? pageArea.left : Scale(p.x), page ? pageArea.top : Scale(p.y),
            page ? pageArea.right - pageArea.left : Scale(p.width),
            page ? pageArea.bottom - pageArea.top : Scale(height), SWP_NOZORDER | SWP_NOACTIVATE);
        HFONT font = control->bold ? fonts_.bold : fonts_.normal;
        if (control->name == "AboutTitle") {
            font = fonts_.title;
        } else if (control->name == "ONAIRPS") {
            font = fonts_.displayLarge;
        } else if (control->name == "ONAIRRT") {
            font = fonts_.display;
        }
        ::SendMessageW(made, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    const ControlDesign& list = *FindControl("DI");
    const Place p = PlaceOnPage(list);
    for (std::size_t row = 0; row < decoderIdRows_.size(); ++row) {
        ::SetWindowPos(decoderIdRows_[row], nullptr, Scale(p.x + 4),
                       Scale(p.y + static_cast<int>(row) * kCheckListRow), Scale(p.width - 8),
                       Scale(kCheckListRow), SWP_NOZORDER | SWP_NOACTIVATE);
        ::SendMessageW(decoderIdRows_[row], WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.normal),
                       TRUE);
    }
    ::SendMessageW(tooltip_, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.normal), TRUE);
}

// Every control tells its tooltip when asked, so that the tooltips follow
// what the window shows.
void MainWindow::AddTooltips() {
    tooltip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                 WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
    ::SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, Scale(480));
    ::SendMessageW(tooltip_, TTM_SETDELAYTIME, TTDT_AUTOPOP, 30000);
    for (const auto& [made, control] : designs_) {
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = window_;
        tool.uId = reinterpret_cast<UINT_PTR>(made);
        tool.lpszText = LPSTR_TEXTCALLBACKW;
        ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void MainWindow::ApplyLanguage() {
    std::optional<std::string> bytes;
    try {
        bytes = ReadFileIfExists(ResourcePath(kLanguageFileName));
    } catch (const FileError&) {
        return;  // an unreadable language file leaves the English texts
    }
    if (!bytes) {
        return;
    }
    for (const Translation& translation : ReadTranslations(*bytes)) {
        HWND control = Named(translation.control->name);
        std::wstring text = FromUtf8(translation.text);
        if (translation.hint) {
            tips_[control] = text;
        } else if (translation.control->kind == ControlKind::Page) {
            TCITEMW tab{};
            tab.mask = TCIF_TEXT;
            tab.pszText = text.data();
            ::SendMessageW(Named("Zalozky"), TCM_SETITEMW, TabIndex(*translation.control),
                           reinterpret_cast<LPARAM>(&tab));
        } else {
            ::SetWindowTextW(control, text.c_str());
        }
    }
}

// The help text and the pictures that replace the built-in ones, from
// beside the program.
void MainWindow::LoadResources() {
    const std::string helpFile = ResourcePath("vaxohelp.rtf");
    HWND help = Named("HelpBox");
    if (const auto rtf = ReadUnlessTooLarge(helpFile, kHelpFileLimit)) {
        std::string_view rest = *rtf;
        EDITSTREAM stream{reinterpret_cast<DWORD_PTR>(&rest), 0, &StreamFromString};
        ::SendMessageW(help, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
    } else if (FileSize(helpFile)) {
        ::SetWindowTextW(help, L"(help file vaxohelp.rtf is too large)");
    }
    for (const char* name : {"logo.bmp", "skin.bmp"}) {
        const std::string path = ResourcePath(name);
        const auto size = FileSize(path);
        if (!size || *size > kPictureLimit) {
            continue;  // none, or larger than any real picture
        }
        auto* picture = static_cast<HBITMAP>(
            ::LoadImageW(nullptr, FromFileName(path).c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
        if (!picture) {
            throw FileError("Bitmap image is not valid");
        }
        pictures_[name] = picture;
    }
    ::InvalidateRect(window_, nullptr, TRUE);
}

}  // namespace vaxo::win
