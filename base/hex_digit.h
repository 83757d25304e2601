#pragma once

namespace vaxo {

constexpr bool IsDecimalDigit(char c) {
    return c >= '0' && c <= '9';
}

// The value of a hexadecimal digit of either case; -1 for any other byte.
constexpr int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

}  // namespace vaxo
