#include "winui/win32_dialogs.h"

#include <commctrl.h>
#include <commdlg.h>

#include <vector>

#include "base/product.h"
#include "winui/wide_text.h"

namespace vaxo::win {
namespace {

constexpr wchar_t kStationFilter[] = L"VAXO files (*.rds)\0*.rds\0";
constexpr wchar_t kAnyFileFilter[] = L"All files (*)\0*.*\0";

// Counts the dialog as open while it is.
class OpenDialog {
  public:
    explicit OpenDialog(int& open) : open_(open) { ++open_; }
    OpenDialog(const OpenDialog&) = delete;
    OpenDialog& operator=(const OpenDialog&) = delete;
    ~OpenDialog() { --open_; }

  private:
    int& open_;
};

}  // namespace

std::optional<std::string> Win32Dialogs::ChooseFile(const wchar_t* filter,
                                                    const std::wstring& proposal, bool save) {
    const OpenDialog open(open_);
    std::vector<wchar_t> name(32768, L'\0');
    proposal.copy(name.data(), std::min(proposal.size(), name.size() - 1));
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner_;
    dialog.lpstrFilter = filter;
    dialog.lpstrFile = name.data();
    dialog.nMaxFile = static_cast<DWORD>(name.size());
    dialog.Flags = OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY |
                   (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
    dialog.lpstrDefExt = filter == kStationFilter ? L"rds" : nullptr;
    const BOOL chosen = save ? ::GetSaveFileNameW(&dialog) : ::GetOpenFileNameW(&dialog);
    if (!chosen) {
        return std::nullopt;
    }
    return ToFileName(name.data());
}

std::optional<std::string> Win32Dialogs::OpenStation() {
    return ChooseFile(kStationFilter, L"", false);
}

std::optional<std::string> Win32Dialogs::SaveStation(const std::string& proposal) {
    return ChooseFile(kStationFilter, FromStationText(proposal), true);
}

std::optional<std::string> Win32Dialogs::OpenAnyFile() {
    return ChooseFile(kAnyFileFilter, L"", false);
}

void Win32Dialogs::ShowError(const std::string& text) {
    const OpenDialog open(open_);
    ::MessageBoxW(owner_, FromFileName(text).c_str(), FromUtf8(kProductName).c_str(),
                  MB_OK | MB_ICONERROR);
}

// The answer's index; the last (the one that changes nothing) when the
// dialog was closed.
std::size_t Win32Dialogs::Ask(const Question& question) {
    const OpenDialog open(open_);
    std::vector<std::wstring> answers;
    std::vector<TASKDIALOG_BUTTON> buttons;
    for (const std::string& answer : question.answers) {
        answers.push_back(FromUtf8(answer));
    }
    for (std::size_t i = 0; i < answers.size(); ++i) {
        buttons.push_back({static_cast<int>(100 + i), answers[i].c_str()});
    }
    const std::wstring title = FromUtf8(kProductName);
    const std::wstring text = FromUtf8(question.text);
    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof config;
    config.hwndParent = owner_;
    config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION;
    config.pszWindowTitle = title.c_str();
    config.pszMainIcon = TD_INFORMATION_ICON;
    config.pszContent = text.c_str();
    config.cButtons = static_cast<UINT>(buttons.size());
    config.pButtons = buttons.data();
    config.nDefaultButton = 100;
    int chosen = 0;
    if (FAILED(::TaskDialogIndirect(&config, &chosen, nullptr, nullptr)) || chosen < 100 ||
        chosen >= 100 + static_cast<int>(buttons.size())) {
        return buttons.size() - 1;
    }
    return static_cast<std::size_t>(chosen - 100);
}

ChangedStationChoice Win32Dialogs::AskAboutChangedStation(const std::string& file) {
    return static_cast<ChangedStationChoice>(
        Ask(ChangedStationQuestion(ToUtf8(FromFileName(file)))));
}

UnsavedChoice Win32Dialogs::AskAboutUnsavedHandOver(const std::string& station,
                                                    const std::string& handed) {
    return static_cast<UnsavedChoice>(
        Ask(UnsavedHandOverQuestion(ToUtf8(FromFileName(station)), ToUtf8(FromFileName(handed)))));
}

}  // namespace vaxo::win
