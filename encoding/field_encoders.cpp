#include "encoding/field_encoders.h"

#include <vector>

namespace vaxo {
namespace {

constexpr int kFirstAfTenths = 876;  // 87.6 MHz
constexpr int kLastAfTenths = 1079;  // 107.9 MHz
constexpr unsigned kAfFiller = 205;
constexpr unsigned kAfCountBase = 224;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'A' && c <= 'F');
}

int HexValue(char c) {
    return c > '9' ? c - 7 - '0' : c - '0';
}

void PutByte(std::array<BitElement, 16>& row, std::size_t at, unsigned byte) {
    for (int b = 7; b >= 0; --b) {
        row[at + 7 - static_cast<std::size_t>(b)] = TestBit(byte, b) ? 1 : 0;
    }
}

}  // namespace

bool TestBit(unsigned value, int n) {
    return ((value >> n) & 1u) != 0;
}

void CheckPI(RdsParameterSet& set) {
    std::string pi = set.PI;
    if (pi.size() != 4) {
        set.PI = "FFFF";
        return;
    }
    for (char& c : pi) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    set.PI = pi;
    for (char c : pi) {
        if (!IsHexDigit(c)) {
            set.PI = "FFFF";
            return;
        }
    }
}

void EncodePI(EncodedFields& fields, const std::string& pi) {
    for (std::size_t j = 0; j < 4; ++j) {
        const int value = HexValue(pi[j]);
        for (int b = 3; b >= 0; --b) {
            fields.PiBits[4 * j + 3 - static_cast<std::size_t>(b)] =
                TestBit(static_cast<unsigned>(value), b) ? 1 : 0;
        }
    }
}

void EncodePTY(EncodedFields& fields, int index) {
    for (int b = 4; b >= 0; --b) {
        fields.FlagBits[static_cast<std::size_t>(4 - b)] =
            TestBit(static_cast<unsigned>(index), b) ? 1 : 0;
    }
}

void EncodeFlags(EncodedFields& fields, const RdsParameterSet& set) {
    fields.FlagBits[5] = set.MS == 1 ? 1 : 0;
    fields.FlagBits[6] = set.TP == 1 ? 1 : 0;
    fields.FlagBits[7] = set.TA == 1 ? 1 : 0;
    fields.FlagBits[8] = set.TextAbFlag == 1 ? 1 : 0;
    for (std::size_t j = 0; j < 4; ++j) {
        fields.DiBits[j] = set.DI[3 - j] ? 1 : 0;
    }
}

int AfCode(const std::string& text, char decimalSeparator) {
    std::string copy = text.size() < 2 || text.size() > 5 ? "00000" : text;
    int separators = 0;
    std::size_t separatorAt = 0;
    for (std::size_t i = 0; i < copy.size(); ++i) {
        if (copy[i] == decimalSeparator) {
            ++separators;
            separatorAt = i;
        } else if (!IsDigit(copy[i])) {
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
    return tenths >= kFirstAfTenths && tenths <= kLastAfTenths ? tenths - 875 : 0;
}

void EncodeAF(EncodedFields& fields, RdsParameterSet& set, char decimalSeparator) {
    std::vector<std::string> validTexts;
    std::vector<unsigned> codes;
    for (const auto& af : set.AF) {
        if (const int code = AfCode(af, decimalSeparator); code != 0) {
            validTexts.push_back(af);
            codes.push_back(static_cast<unsigned>(code));
        }
    }
    for (std::size_t i = 0; i < set.AF.size(); ++i) {
        set.AF[i] = i < validTexts.size() ? validTexts[i] : std::string();
    }
    auto code = [&](std::size_t number) {  // 1-based, filler when missing
        return number <= codes.size() ? codes[number - 1] : kAfFiller;
    };
    const unsigned bytes[8] = {kAfCountBase + static_cast<unsigned>(codes.size()),
                               code(1),
                               code(2),
                               code(3),
                               code(4),
                               code(5),
                               code(6),
                               code(7)};
    for (std::size_t segment = 0; segment < 4; ++segment) {
        PutByte(fields.AfBits[segment], 0, bytes[2 * segment]);
        PutByte(fields.AfBits[segment], 8, bytes[2 * segment + 1]);
    }
}

}  // namespace vaxo
