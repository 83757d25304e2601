#include "record/frequencies.h"

#include "base/hex_digit.h"

namespace vaxo {

int AfCode(std::string_view text, char decimalSeparator) {
    std::string copy = text.size() < 2 || text.size() > 5 ? "00000" : std::string(text);
    int separators = 0;
    std::size_t separatorAt = 0;
    for (std::size_t i = 0; i < copy.size(); ++i) {
        if (copy[i] == decimalSeparator) {
            ++separators;
            separatorAt = i;
        } else if (!IsDecimalDigit(copy[i])) {
            copy[i] = '0';
        }
    }
    if (separators > 1 || (separators == 1 && separatorAt != copy.size() - 2)) {
        copy = "00000";
        separators = 0;
    }
    // At most one digit follows the separator, so f * 10 is a whole number:
    // the tenths are the digits read as one number.
    int tenths = 0;
    for (char c : copy) {
        if (c != decimalSeparator) {
            tenths = tenths * 10 + (c - '0');
        }
    }
    if (separators == 0) {
        tenths *= 10;
    }
    return tenths >= kFirstAfTenths && tenths <= kLastAfTenths ? tenths - (kFirstAfTenths - 1) : 0;
}

std::string FrequencyText(int tenths, char decimalSeparator) {
    return std::to_string(tenths / 10) + decimalSeparator + std::to_string(tenths % 10);
}

}  // namespace vaxo
