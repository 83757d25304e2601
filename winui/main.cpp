// vaxow.exe: the control program's window on Windows.
#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "base/product.h"
#include "window/window_encoder.h"
#include "winui/main_window.h"
#include "winui/wide_text.h"

namespace {

using vaxo::win::FromUtf8;

std::vector<std::wstring> CommandLineWords() {
    int count = 0;
    LPWSTR* words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::wstring> list(words + (count > 0 ? 1 : 0), words + count);
    ::LocalFree(words);
    return list;
}

int Tell(const std::string& text, UINT icon) {
    ::MessageBoxW(nullptr, FromUtf8(text).c_str(), L"vaxow", MB_OK | icon);
    return icon == MB_ICONERROR ? 2 : 0;
}

int RunLoop(vaxo::win::MainWindow& window) {
    MSG message{};
    for (;;) {
        if (!::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            window.OnIdle();
        }
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got <= 0) {
            return got == 0 ? static_cast<int>(message.wParam) : 1;
        }
        if (window.PreTranslate(message) || ::IsDialogMessageW(window.Handle(), &message)) {
            continue;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
    const std::vector<std::wstring> words = CommandLineWords();
    if (!words.empty() && (words[0] == L"--help" || words[0] == L"-h")) {
        return Tell(
            "usage: vaxow [--simulate[=SCENARIO] [--memory-dump FILE]] [STATION]\n"
            "  the window program; STATION is a station file to load",
            MB_ICONINFORMATION);
    }
    if (!words.empty() && words[0] == L"--version") {
        return Tell(std::string("vaxow ") + vaxo::kProductVersion, MB_ICONINFORMATION);
    }
    std::vector<std::string> narrow;
    for (const std::wstring& word : words) {
        narrow.push_back(vaxo::win::ToFileName(word));
    }
    const vaxo::WindowOptions options = vaxo::ReadWindowOptions(narrow);
    if (!options.problem.empty()) {
        return Tell(options.problem, MB_ICONERROR);
    }
    vaxo::WindowEncoder encoder(options);
    vaxo::SystemTiming timing;
    vaxo::win::MainWindow window({encoder.Layer(), encoder.Layer(), timing, encoder.ReadBack()},
                                 options.arguments);
    if (!window.IsFirstInstance()) {
        return 0;
    }
    ::ShowWindow(window.Handle(), show);
    ::UpdateWindow(window.Handle());
    const int status = RunLoop(window);
    encoder.SaveMemoryDump();
    return status;
}
