#pragma once

#include <string>
#include <string_view>

namespace vaxo {

// Alternative frequencies of the FM band as method A codes them (IEC 62106):
// 87.6 to 107.9 MHz in steps of 0.1 MHz, codes 1 to 204.
inline constexpr int kFirstAfTenths = 876;
inline constexpr int kLastAfTenths = 1079;

// The method A code 1..204 of an AF text as the operator types it ("87.6",
// "88", " 99.0"), or 0 when it is no usable frequency. The text holds 2 to 5
// characters; the decimal separator is the user's locale setting; any other
// character counts as the digit 0.
int AfCode(std::string_view text, char decimalSeparator);

// The text of a frequency in tenths of MHz: "87.6" for 876.
std::string FrequencyText(int tenths, char decimalSeparator);

}  // namespace vaxo
