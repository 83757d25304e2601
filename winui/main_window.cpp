#include "winui/main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include "platform/file_type_registration.h"
#include "platform/program_dir.h"
#include "winui/control_ids.h"
#include "winui/wide_text.h"

namespace vaxo::win {
namespace {

constexpr WPARAM kClosedByProgram = 1;

char DesktopDecimalSeparator() {
    wchar_t separator[8] = {};
    ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8);
    return separator[0] > 0 && separator[0] < 0x80 && separator[1] == 0
               ? static_cast<char>(separator[0])
               : '.';
}

bool IsOperatorInput(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
           (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST && message != WM_MOUSEMOVE);
}

bool Pressed(int key) {
    return (::GetKeyState(key) & 0x8000) != 0;
}

}  // namespace

MainWindow::MainWindow(MainWindowServices services, const std::vector<std::string>& arguments)
    : services_(std::move(services)) {
    INITCOMMONCONTROLSEX common{
        sizeof common, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_LINK_CLASS | ICC_TAB_CLASSES};
    ::InitCommonControlsEx(&common);
    ::LoadLibraryW(L"Msftedit.dll");
    RegisterClasses();
    highlight_ = ::CreateSolidBrush(kHighlight);
    band_ = ::CreateSolidBrush(kBand);
    display_ = ::CreateSolidBrush(kDisplay);
    error_ = ::CreateSolidBrush(RGB(0, 0, 0));
    window_ = ::CreateWindowExW(
        WS_EX_CONTROLPARENT, kWindowClass, FromUtf8(kProgramTitle).c_str(),
        WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN, CW_USEDEFAULT,
        CW_USEDEFAULT, 0, 0, nullptr, nullptr, ::GetModuleHandleW(nullptr), this);
    MakeFonts();
    CreateControls();
    AddTooltips();
    PlaceControls();
    ApplyLanguage();
    dialogs_.SetOwner(window_);
    model_ = std::make_unique<WindowModel>(
        WindowServices{host_, services_.portLayer, services_.linkPort, services_.timing, dialogs_,
                       &DesktopDecimalSeparator, "", services_.readBack},
        static_cast<WindowView&>(*this));
    model_->Start(arguments);
    SelectPage(0);
    if (model_->IsFirstInstance()) {
        ::SetFocus(Named("PS"));
    }
}

MainWindow::~MainWindow() {
    if (::IsWindow(window_)) {
        ::DestroyWindow(window_);
    }
    model_.reset();
    DeleteFonts();
    for (HBRUSH brush : {highlight_, band_, display_, error_}) {
        ::DeleteObject(brush);
    }
    for (const auto& [name, picture] : pictures_) {
        ::DeleteObject(picture);
    }
}

HWND MainWindow::Named(const std::string& name) const {
    const auto found = controls_.find(name);
    return found == controls_.end() ? nullptr : found->second;
}

const ControlDesign* MainWindow::DesignOf(HWND control) const {
    const auto found = designs_.find(control);
    return found == designs_.end() ? nullptr : found->second;
}

LRESULT CALLBACK MainWindow::ReceiveWindow(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
        self->window_ = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    return self ? self->Receive(message, w, l) : ::DefWindowProcW(window, message, w, l);
}

// A page hands what its controls tell to the window, and paints its panels.
LRESULT CALLBACK MainWindow::ReceivePage(HWND page, UINT message, WPARAM w, LPARAM l) {
    auto* self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(page, GWLP_USERDATA));
    switch (message) {
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_HSCROLL:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORBTN:
        case WM_DRAWITEM:
            return self ? ::SendMessageW(self->window_, message, w, l) : 0;
        case WM_ERASEBKGND:
        case WM_PRINTCLIENT:  // themed controls draw their parent's face behind them
            if (self) {
                self->PaintPage(page, reinterpret_cast<HDC>(w));
            }
            return 1;
        case WM_PAINT:
            if (self) {
                PAINTSTRUCT paint;
                self->PaintPage(page, ::BeginPaint(page, &paint));
                ::EndPaint(page, &paint);
                return 0;
            }
            break;
        default:
            break;
    }
    return ::DefWindowProcW(page, message, w, l);
}

LRESULT MainWindow::Receive(UINT message, WPARAM w, LPARAM l) {
    switch (message) {
        case WM_COMMAND:
            OnCommand(LOWORD(w), HIWORD(w), reinterpret_cast<HWND>(l));
            return 0;
        case WM_HSCROLL:
            if (const ControlDesign* bar = DesignOf(reinterpret_cast<HWND>(l));
                bar && !refreshing_) {
                model_->Picked(bar->name, static_cast<int>(::SendMessageW(reinterpret_cast<HWND>(l),
                                                                          TBM_GETPOS, 0, 0)));
            }
            return 0;
        case WM_NOTIFY:
            return OnNotify(*reinterpret_cast<NMHDR*>(l));
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORBTN:
            if (const HBRUSH brush =
                    OnColour(reinterpret_cast<HDC>(w), reinterpret_cast<HWND>(l))) {
                return reinterpret_cast<LRESULT>(brush);
            }
            if (message == WM_CTLCOLOREDIT) {
                break;
            }
            // Labels, boxes and groups on the face of the page.
            ::SetTextColor(reinterpret_cast<HDC>(w), ::GetSysColor(COLOR_BTNTEXT));
            ::SetBkColor(reinterpret_cast<HDC>(w), ::GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
        case WM_DRAWITEM:
            OnDrawPicture(*reinterpret_cast<DRAWITEMSTRUCT*>(l));
            return TRUE;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = ::BeginPaint(window_, &paint);
            PaintStrip(dc);
            ::EndPaint(window_, &paint);
            return 0;
        }
        case WM_SETCURSOR:
            if (sending_) {
                ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
                return TRUE;
            }
            break;
        case WM_TIMER:
            if (w == kDynamicTextTimer) {
                ShowNextDynamicText();
            }
            return 0;
        case WM_DPICHANGED: {
            DeleteFonts();
            MakeFonts();
            const auto* suggested = reinterpret_cast<const RECT*>(l);
            ::SetWindowPos(window_, nullptr, suggested->left, suggested->top, 0, 0,
                           SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            PlaceControls();
            return 0;
        }
        case WM_CLOSE:
            if (model_) {
                model_->Closing(w != kClosedByProgram);
            }
            ::DestroyWindow(window_);
            return 0;
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            if (w) {
                model_.reset();  // the exit's saves, before the session ends the process
                host_.DropPosted();
            }
            return 0;
        case WM_DESTROY:
            ::KillTimer(window_, kDynamicTextTimer);
            model_.reset();
            host_.DropPosted();
            ::PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return ::DefWindowProcW(window_, message, w, l);
}

bool MainWindow::PreTranslate(const MSG& message) {
    const bool ours = message.hwnd == window_ || ::IsChild(window_, message.hwnd);
    if (!ours) {
        return false;
    }
    // While a send runs the window keeps painting, but the operator's keys
    // and clicks do not reach it: what is on its way is not edited meanwhile.
    if (sending_ && IsOperatorInput(message.message)) {
        return true;
    }
    if (message.message != WM_KEYDOWN || !Pressed(VK_CONTROL)) {
        return false;
    }
    const char* button = nullptr;
    switch (message.wParam) {
        case 'O':
            button = "LOAD";
            break;
        case 'S':
            button = Pressed(VK_SHIFT) ? "SAAS" : "SAVE";
            break;
        case 'Q':
            button = "EX";
            break;
        default:
            return false;
    }
    ::SendMessageW(Named(button), BM_CLICK, 0, 0);
    return true;
}

void MainWindow::OnIdle() {
    if (model_) {
        model_->Idle(dialogs_.DialogOpen());
    }
}

void MainWindow::OnCommand(int id, int code, HWND control) {
    if (id == IDOK && model_) {
        // Enter in a box takes it as leaving it does (a PI, a frequency).
        HWND focus = ::GetFocus();
        if (const ControlDesign* box = DesignOf(focus); box && box->kind == ControlKind::TextBox) {
            OnTextLeft(*box, focus);
        }
        return;
    }
    if (id >= CheckListRowId(0) && id < CheckListRowId(static_cast<int>(decoderIdRows_.size()))) {
        DecoderId flags{};
        for (std::size_t row = 0; row < decoderIdRows_.size(); ++row) {
            flags[row] = ::SendMessageW(decoderIdRows_[row], BM_GETCHECK, 0, 0) == BST_CHECKED;
        }
        model_->DecoderIdTicked(flags);
        return;
    }
    const ControlDesign* design = DesignOf(control);
    if (!design || !model_) {
        return;
    }
    switch (design->kind) {
        case ControlKind::TextBox:
        case ControlKind::FileNameBox:
            if (code == EN_CHANGE && !refreshing_) {
                OnTextChanged(*design, control);
            } else if (code == EN_KILLFOCUS) {
                OnTextLeft(*design, control);
            }
            break;
        case ControlKind::PickList:
            if (code == CBN_SELCHANGE) {
                model_->Picked(design->name,
                               static_cast<int>(::SendMessageW(control, CB_GETCURSEL, 0, 0)));
            }
            break;
        case ControlKind::TickBox:
        case ControlKind::Choice:
        case ControlKind::Button:
            if (code == BN_CLICKED) {
                OnButton(*design, control);
            }
            break;
        default:
            break;
    }
}

// A station text box takes only what Windows-1250 holds: a character it
// lacks is refused as it is typed.
void MainWindow::OnTextChanged(const ControlDesign& control, HWND box) {
    const std::wstring text = WindowText(box);
    if (control.kind == ControlKind::FileNameBox) {
        model_->TextEdited(control.name, ToFileName(text));
        return;
    }
    const auto bytes = ToStationText(text);
    if (!bytes) {
        DWORD start = 0;
        ::SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
        SetText(box, typed_[box]);
        const auto caret = static_cast<LPARAM>(start > 0 ? start - 1 : 0);
        ::SendMessageW(box, EM_SETSEL, static_cast<WPARAM>(caret), caret);
        ::MessageBeep(MB_ICONWARNING);
        return;
    }
    typed_[box] = text;
    model_->TextEdited(control.name, *bytes);
}

void MainWindow::OnTextLeft(const ControlDesign& control, HWND box) {
    const std::wstring text = WindowText(box);
    model_->TextLeft(control.name, control.kind == ControlKind::FileNameBox
                                       ? ToFileName(text)
                                       : ToStationText(text).value_or(std::string()));
    // Left, a draft box shows what the station took of it.
    if (HoldsDraft(control.name)) {
        SetText(box, FromStationText(model_->State().stationTexts.at(control.name)));
    }
}

void MainWindow::OnButton(const ControlDesign& control, HWND button) {
    if (control.kind == ControlKind::TickBox) {
        model_->Ticked(control.name, ::SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED);
    } else if (control.name.starts_with("ONAIR")) {
        for (const char* choice : {"ONAIRB1", "ONAIRB2", "ONAIRNOW"}) {
            ::SendMessageW(Named(choice), BM_SETCHECK,
                           control.name == choice ? BST_CHECKED : BST_UNCHECKED, 0);
        }
        ShowOnAir();
    } else if (control.kind == ControlKind::Choice) {
        model_->Ticked(control.name, true);
    } else if (control.name == "REGRDS") {
        RegisterFileType();
    } else {
        model_->Clicked(control.name);
    }
}

LRESULT MainWindow::OnNotify(const NMHDR& header) {
    if (header.code == TTN_GETDISPINFOW) {
        auto& info = const_cast<NMTTDISPINFOW&>(reinterpret_cast<const NMTTDISPINFOW&>(header));
        const auto tip = tips_.find(reinterpret_cast<HWND>(header.idFrom));
        info.lpszText = tip == tips_.end() ? const_cast<wchar_t*>(L"") : tip->second.data();
        return 0;
    }
    if (header.hwndFrom == Named("Zalozky") && header.code == TCN_SELCHANGE) {
        SelectPage(static_cast<int>(::SendMessageW(header.hwndFrom, TCM_GETCURSEL, 0, 0)));
    } else if (header.hwndFrom == Named("Label8") &&
               (header.code == NM_CLICK || header.code == NM_RETURN)) {
        ::ShellExecuteW(window_, L"open", FromFileName(ManualPath()).c_str(), nullptr, nullptr,
                        SW_SHOWNORMAL);
    }
    return 0;
}

void MainWindow::SelectPage(int index) {
    int page = 0;
    for (const ControlDesign& control : WindowLayout()) {
        if (control.kind == ControlKind::Page) {
            ::ShowWindow(Named(control.name), page == index ? SW_SHOW : SW_HIDE);
            ++page;
        }
    }
    ::SendMessageW(Named("Zalozky"), TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    ShowOnAir();
}

void MainWindow::RegisterFileType() {
    wchar_t program[MAX_PATH + 1] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, program, MAX_PATH);
    const std::string path = ToFileName(std::wstring_view(program, length));
    model_->RegisterFileType([&path] {
        RegisterStationFileType({path, "", UserDataHome(), UserConfigHome()});
    });
}

void MainWindow::Restore() {
    if (::IsIconic(window_)) {
        ::ShowWindow(window_, SW_RESTORE);
    }
    ::SetForegroundWindow(window_);
}

// After the current message: the model may be in the middle of a command.
void MainWindow::Close() {
    ::PostMessageW(window_, WM_CLOSE, kClosedByProgram, 0);
}

}  // namespace vaxo::win
