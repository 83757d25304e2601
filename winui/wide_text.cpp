#include "winui/wide_text.h"

namespace vaxo::win {
namespace {

constexpr UINT kStationCodePage = 1250;

std::wstring Widen(std::string_view bytes, UINT codePage) {
    if (bytes.empty()) {
        return {};
    }
    const int size = static_cast<int>(bytes.size());
    std::wstring wide(static_cast<std::size_t>(
                          ::MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0)),
                      L'\0');
    ::MultiByteToWideChar(codePage, 0, bytes.data(), size, wide.data(),
                          static_cast<int>(wide.size()));
    return wide;
}

std::string Narrow(std::wstring_view text, UINT codePage, DWORD flags, BOOL* lost) {
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    std::string bytes(static_cast<std::size_t>(::WideCharToMultiByte(
                          codePage, flags, text.data(), size, nullptr, 0, nullptr, nullptr)),
                      '\0');
    ::WideCharToMultiByte(codePage, flags, text.data(), size, bytes.data(),
                          static_cast<int>(bytes.size()), nullptr, lost);
    return bytes;
}

}  // namespace

std::wstring FromStationText(std::string_view bytes) {
    return Widen(bytes, kStationCodePage);
}

std::optional<std::string> ToStationText(std::wstring_view text) {
    BOOL lost = FALSE;
    std::string bytes = Narrow(text, kStationCodePage, WC_NO_BEST_FIT_CHARS, &lost);
    return lost ? std::nullopt : std::optional(std::move(bytes));
}

std::wstring FromFileName(std::string_view bytes) {
    return Widen(bytes, CP_ACP);
}

std::string ToFileName(std::wstring_view text) {
    return Narrow(text, CP_ACP, 0, nullptr);
}

std::wstring FromUtf8(std::string_view text) {
    return Widen(text, CP_UTF8);
}

std::string ToUtf8(std::wstring_view text) {
    return Narrow(text, CP_UTF8, 0, nullptr);
}

std::wstring WindowText(HWND control) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

}  // namespace vaxo::win
