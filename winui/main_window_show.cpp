// What the window shows: the model's state drawn where it differs, the On
// air page, the colours and the pictures.
// <windows.h> first: the common controls' header builds on it.
#include <windows.h>

#include <commctrl.h>

#include "base/product.h"
#include "winui/main_window.h"
#include "winui/wide_text.h"

namespace vaxo::win {
namespace {

std::wstring WithCrLf(const std::string& utf8) {
    std::wstring text;
    for (const wchar_t c : FromUtf8(utf8)) {
        if (c == L'\n') {
            text += L'\r';
        }
        text += c;
    }
    return text;
}

bool Within(const ControlDesign& control, const std::string& ancestor) {
    for (const ControlDesign* c = &control; c; c = FindControl(c->parent)) {
        if (c->name == ancestor) {
            return true;
        }
    }
    return false;
}

// The built-in picture: the product's name on a deep blue that fades down.
void DrawBuiltIn(HDC dc, const RECT& area, int textHeight) {
    const int height = area.bottom - area.top;
    for (int y = 0; y < height; ++y) {
        const int shade = 40 + 60 * y / std::max(height, 1);
        const RECT line{area.left, area.top + y, area.right, area.top + y + 1};
        HBRUSH brush = ::CreateSolidBrush(RGB(10, 30 + shade / 2, 60 + shade));
        ::FillRect(dc, &line, brush);
        ::DeleteObject(brush);
    }
    HFONT font = ::CreateFontW(-textHeight, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                               OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                               DEFAULT_PITCH | FF_SWISS, L"Tahoma");
    HGDIOBJ previous = ::SelectObject(dc, font);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, RGB(255, 255, 255));
    RECT text = area;
    const std::wstring name = FromUtf8(kProductFamily);
    ::DrawTextW(dc, name.c_str(), -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    ::SelectObject(dc, previous);
    ::DeleteObject(font);
}

void DrawPicture(HDC dc, const RECT& area, HBITMAP picture) {
    BITMAP size{};
    ::GetObjectW(picture, sizeof size, &size);
    HDC source = ::CreateCompatibleDC(dc);
    HGDIOBJ previous = ::SelectObject(source, picture);
    ::SetStretchBltMode(dc, HALFTONE);
    ::StretchBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, source, 0,
                 0, size.bmWidth, size.bmHeight, SRCCOPY);
    ::SelectObject(source, previous);
    ::DeleteDC(source);
}

}  // namespace

void MainWindow::Show(const WindowState& state) {
    refreshing_ = true;
    ShowTexts(state);
    ShowTicks(state);
    ShowLabels(state);
    ShowSending(state);
    refreshing_ = false;
    if (!state.caption.empty()) {
        SetText(window_, FromFileName(state.caption));
    }
    if (state.alwaysOnTop != onTop_) {
        onTop_ = state.alwaysOnTop;
        ::SetWindowPos(window_, onTop_ ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    ::EnableWindow(Named("REGRDS"), !state.registered);
}

void MainWindow::SetText(HWND control, const std::wstring& text) {
    if (WindowText(control) != text) {
        const bool wasRefreshing = refreshing_;
        refreshing_ = true;
        ::SetWindowTextW(control, text.c_str());
        refreshing_ = wasRefreshing;
    }
    typed_[control] = text;
}

void MainWindow::ShowTexts(const WindowState& state) {
    const auto show = [this, &state](const std::string& name, const std::wstring& text) {
        HWND box = Named(name);
        if (!box) {
            return;
        }
        // A PI or frequency box the operator is in keeps the draft.
        if (!(HoldsDraft(name) && ::GetFocus() == box)) {
            SetText(box, text);
        }
        ::SendMessageW(box, EM_SETREADONLY, state.readOnly.contains(name), 0);
    };
    for (const auto& [name, bytes] : state.stationTexts) {
        show(name, FromStationText(bytes));
    }
    for (const auto& [name, bytes] : state.fileNames) {
        show(name, FromFileName(bytes));
    }
}

void MainWindow::ShowTicks(const WindowState& state) {
    for (const auto& [name, on] : state.ticks) {
        ::SendMessageW(Named(name), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    for (const auto& [name, value] : state.picks) {
        const ControlDesign* control = FindControl(name);
        if (control && control->kind == ControlKind::PickList) {
            ::SendMessageW(Named(name), CB_SETCURSEL, static_cast<WPARAM>(value), 0);
        } else if (control && control->kind == ControlKind::Slider) {
            ::SendMessageW(Named(name), TBM_SETPOS, TRUE, value);
        }
    }
    for (std::size_t row = 0; row < decoderIdRows_.size(); ++row) {
        ::SendMessageW(decoderIdRows_[row], BM_SETCHECK,
                       state.decoderId[row] ? BST_CHECKED : BST_UNCHECKED, 0);
    }
}

void MainWindow::ShowLabels(const WindowState& state) {
    for (const auto& [name, text] : state.labels) {
        if (HWND control = Named(name)) {
            SetText(control, WithCrLf(text));
        }
    }
    for (const auto& [name, tip] : state.tips) {
        if (HWND control = Named(name)) {
            tips_[control] = FromUtf8(tip);
        }
    }
}

void MainWindow::ShowSending(const WindowState& state) {
    if (state.sending != sending_) {
        sending_ = state.sending;
        ::SetCursor(::LoadCursorW(nullptr, sending_ ? IDC_WAIT : IDC_ARROW));
    }
    ::SendMessageW(Named("ProgressBar1"), PBM_SETPOS, static_cast<WPARAM>(state.progress), 0);
    ::ShowWindow(Named("Label11"), state.errorShown ? SW_SHOWNA : SW_HIDE);
    ::ShowWindow(Named("ProgressBar1"), state.errorShown ? SW_HIDE : SW_SHOWNA);
}

// Only while the page is shown: it decodes an image each time.
void MainWindow::ShowOnAir() {
    HWND page = Named("OnAir");
    if (!model_ || !::IsWindowVisible(page)) {
        return;
    }
    OnAirSource source = OnAirSource::Bank1;
    if (::SendMessageW(Named("ONAIRB2"), BM_GETCHECK, 0, 0) == BST_CHECKED) {
        source = OnAirSource::Bank2;
    } else if (::SendMessageW(Named("ONAIRNOW"), BM_GETCHECK, 0, 0) == BST_CHECKED) {
        source = OnAirSource::Preview;
    } else {
        ::SendMessageW(Named("ONAIRB1"), BM_SETCHECK, BST_CHECKED, 0);
    }
    const OnAirTexts texts = model_->OnAir(source);
    std::string details = texts.details;
    for (const std::string& note : model_->OnAirNotes()) {
        details += (details.empty() ? "" : "\n") + note;
    }
    SetText(Named("ONAIRPS"), FromUtf8(texts.ps));
    SetText(Named("ONAIRRT"), FromUtf8(texts.rt));
    SetText(Named("ONAIRINFO"), WithCrLf(texts.info));
    SetText(Named("ONAIRWARN"), WithCrLf(details));
    ::KillTimer(window_, kDynamicTextTimer);
    dynamicTexts_ = texts.dynamicTexts;
    dynamicText_ = 0;
    if (!dynamicTexts_.empty()) {
        ::SetTimer(window_, kDynamicTextTimer, static_cast<UINT>(texts.stepSeconds) * 1000,
                   nullptr);
    }
}

void MainWindow::ShowNextDynamicText() {
    if (dynamicTexts_.empty()) {
        return;
    }
    dynamicText_ = (dynamicText_ + 1) % dynamicTexts_.size();
    SetText(Named("ONAIRPS"), FromUtf8(dynamicTexts_[dynamicText_]));
}

// The highlighted fields, the General page's band, the receiver's display
// and the "Error" label carry their own colours, and dark text on light.
HBRUSH MainWindow::OnColour(HDC dc, HWND control) {
    const ControlDesign* design = DesignOf(control);
    if (!design) {
        return nullptr;
    }
    const auto colours = [dc](COLORREF text, COLORREF back, HBRUSH brush) {
        ::SetTextColor(dc, text);
        ::SetBkColor(dc, back);
        return brush;
    };
    if (design->highlighted) {
        return colours(RGB(0, 0, 0), kHighlight, highlight_);
    }
    if (design->name == "ONAIRPS" || design->name == "ONAIRRT") {
        return colours(kDisplayText, kDisplay, display_);
    }
    if (design->name == "Label11") {
        return colours(RGB(255, 255, 255), RGB(0, 0, 0), error_);
    }
    const bool box =
        design->kind == ControlKind::TextBox || design->kind == ControlKind::FileNameBox;
    if (Within(*design, "Band") && !box) {
        return colours(RGB(0, 0, 0), kBand, band_);
    }
    return nullptr;
}

void MainWindow::OnDrawPicture(const DRAWITEMSTRUCT& item) {
    const ControlDesign* design = DesignOf(item.hwndItem);
    const auto logo = pictures_.find("logo.bmp");
    if (design && design->name == "LOGO" && logo != pictures_.end()) {
        DrawPicture(item.hDC, item.rcItem, logo->second);
    } else {
        DrawBuiltIn(item.hDC, item.rcItem, (item.rcItem.bottom - item.rcItem.top) * 2 / 5);
    }
}

void MainWindow::PaintPage(HWND page, HDC dc) {
    RECT all;
    ::GetClientRect(page, &all);
    ::FillRect(dc, &all, ::GetSysColorBrush(COLOR_BTNFACE));
    for (const ControlDesign& control : WindowLayout()) {
        if (control.kind != ControlKind::Panel || Named(PageOf(control)) != page) {
            continue;
        }
        const Place p = PlaceOnPage(control);
        RECT area{Scale(p.x), Scale(p.y), Scale(p.x + p.width), Scale(p.y + p.height)};
        if (control.framed) {
            ::DrawEdge(dc, &area, EDGE_SUNKEN, BF_RECT);
        } else {
            ::FillRect(dc, &area, band_);
        }
    }
}

void MainWindow::PaintStrip(HDC dc) {
    const Place& p = FindControl("SKIN")->place;
    const RECT strip{Scale(p.x), Scale(p.y), Scale(p.x + p.width), Scale(p.y + p.height)};
    const auto skin = pictures_.find("skin.bmp");
    if (skin != pictures_.end()) {
        DrawPicture(dc, strip, skin->second);
        return;
    }
    for (int y = strip.top; y < strip.bottom; ++y) {
        const int shade = 236 - 40 * (y - strip.top) / std::max<int>(strip.bottom - strip.top, 1);
        const RECT line{strip.left, y, strip.right, y + 1};
        HBRUSH brush = ::CreateSolidBrush(RGB(shade - 20, shade - 10, shade));
        ::FillRect(dc, &line, brush);
        ::DeleteObject(brush);
    }
}

}  // namespace vaxo::win
