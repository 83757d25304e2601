#include "ui/text_boundary.h"

#include <QFile>

#include "base/code_page.h"

namespace vaxo::ui {

QString FromStationText(const std::string& bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (char c : bytes) {
        const char32_t point = Windows1250ToUnicode(static_cast<unsigned char>(c));
        text += point == 0 && c != 0 ? QChar(QChar::ReplacementCharacter)
                                     : QChar(static_cast<char16_t>(point));
    }
    return text;
}

std::string ToStationText(const QString& text) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    for (QChar c : text) {
        bytes += static_cast<char>(UnicodeToWindows1250(c.unicode()).value_or('?'));
    }
    return bytes;
}

bool FitsStationText(const QString& text) {
    for (QChar c : text) {
        // A loaded byte the code page leaves unused shows as the replacement
        // character; it does not stop the operator from editing the field.
        if (c == QChar::ReplacementCharacter) {
            continue;
        }
        if (!UnicodeToWindows1250(c.unicode()) || c.isSurrogate()) {
            return false;
        }
    }
    return true;
}

QString FromFileName(const std::string& bytes) {
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

std::string ToFileName(const QString& text) {
    return QFile::encodeName(text).toStdString();
}

QValidator::State StationTextValidator::validate(QString& input, int&) const {
    if (capitals_) {
        input = input.toUpper();
    }
    return FitsStationText(input) ? Acceptable : Invalid;
}

}  // namespace vaxo::ui
