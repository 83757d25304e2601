#include "web/html_text.h"

#include "base/hex_digit.h"

namespace vaxo {
namespace {

std::optional<std::string> DecodeForm(std::string_view text) {
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            decoded += ' ';
        } else if (text[i] != '%') {
            decoded += text[i];
        } else if (i + 2 < text.size() && HexDigitValue(text[i + 1]) >= 0 &&
                   HexDigitValue(text[i + 2]) >= 0) {
            decoded +=
                static_cast<char>(HexDigitValue(text[i + 1]) * 16 + HexDigitValue(text[i + 2]));
            i += 2;
        } else {
            return std::nullopt;
        }
    }
    return decoded;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace

std::string EscapeHtml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string FillTemplate(std::string_view page, const std::map<std::string, std::string>& values) {
    std::string out;
    for (;;) {
        const std::size_t open = page.find("{{");
        const std::size_t close = open == std::string_view::npos ? open : page.find("}}", open);
        if (close == std::string_view::npos) {
            out += page;
            return out;
        }
        out += page.substr(0, open);
        const auto value = values.find(std::string(page.substr(open + 2, close - open - 2)));
        if (value != values.end()) {
            out += value->second;
        }
        page.remove_prefix(close + 2);
    }
}

std::optional<std::string> FormField(std::string_view body, std::string_view name) {
    while (!body.empty()) {
        const std::size_t amp = body.find('&');
        const std::string_view pair = body.substr(0, amp);
        body = amp == std::string_view::npos ? std::string_view() : body.substr(amp + 1);
        const std::size_t equals = pair.find('=');
        if (equals != std::string_view::npos && pair.substr(0, equals) == name) {
            return DecodeForm(pair.substr(equals + 1));
        }
    }
    return std::nullopt;
}

std::string CookieValue(std::string_view header, std::string_view name) {
    while (!header.empty()) {
        const std::size_t semicolon = header.find(';');
        const std::string_view pair = Trim(header.substr(0, semicolon));
        header =
            semicolon == std::string_view::npos ? std::string_view() : header.substr(semicolon + 1);
        const std::size_t equals = pair.find('=');
        if (equals != std::string_view::npos && Trim(pair.substr(0, equals)) == name) {
            return std::string(Trim(pair.substr(equals + 1)));
        }
    }
    return {};
}

}  // namespace vaxo
