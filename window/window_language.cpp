#include "window/window_language.h"

#include <algorithm>

#include "base/code_page.h"
#include "formats/language_file.h"

namespace vaxo {
namespace {

bool SameWithoutCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

const ControlDesign* TranslatableControl(std::string_view name) {
    for (const ControlDesign& control : WindowLayout()) {
        if (control.translatable && SameWithoutCase(control.name, name)) {
            return &control;
        }
    }
    return nullptr;
}

std::string WithoutCarriageReturns(std::string text) {
    std::erase(text, '\r');
    return text;
}

}  // namespace

std::vector<Translation> ReadTranslations(const std::string& fileBytes) {
    const bool utf8 = Utf8ToWindows1250(fileBytes).has_value();
    const auto text = [utf8](const std::string& part) {
        return utf8 ? part : Windows1250ToUtf8(part);
    };
    std::vector<Translation> translations;
    for (const std::string& line : ReadIniSection(fileBytes, kTranslationsSection)) {
        const TranslationEntry entry = SplitTranslationEntry(line);
        const ControlDesign* control = TranslatableControl(text(entry.control));
        const bool caption = SameWithoutCase(entry.property, "Caption");
        const bool hint = SameWithoutCase(entry.property, "Hint");
        if (text(entry.form) == "Form1" && control && (caption || hint)) {
            translations.push_back({control, hint, WithoutCarriageReturns(text(entry.value))});
        }
    }
    return translations;
}

}  // namespace vaxo
