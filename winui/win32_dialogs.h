#pragma once

#include <windows.h>

#include "window/window_dialogs.h"

namespace vaxo::win {

// The window's dialogs with the Windows ones: the common file dialogs, a
// message box for errors and a task dialog for questions.
class Win32Dialogs : public WindowDialogs {
  public:
    void SetOwner(HWND owner) { owner_ = owner; }
    // A hand-over waits while one is open.
    bool DialogOpen() const { return open_ > 0; }

    std::optional<std::string> OpenStation() override;
    std::optional<std::string> SaveStation(const std::string& proposal) override;
    std::optional<std::string> OpenAnyFile() override;
    void ShowError(const std::string& text) override;
    ChangedStationChoice AskAboutChangedStation(const std::string& file) override;
    UnsavedChoice AskAboutUnsavedHandOver(const std::string& station,
                                          const std::string& handed) override;

  private:
    std::optional<std::string> ChooseFile(const wchar_t* filter, const std::wstring& proposal,
                                          bool save);
    std::size_t Ask(const Question& question);

    HWND owner_ = nullptr;
    int open_ = 0;
};

}  // namespace vaxo::win
