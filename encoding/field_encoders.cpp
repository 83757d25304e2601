#include "encoding/field_encoders.h"

#include <vector>

namespace vaxo {
namespace {

constexpr unsigned kAfFiller = 205;
constexpr unsigned kAfCountBase = 224;

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
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

std::string CheckPI(std::string_view text) {
    std::string pi(text);
    if (pi.size() != 4) {
        return "FFFF";
    }
    for (char& c : pi) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    for (char c : pi) {
        if (!IsHexDigit(c)) {
            return "FFFF";
        }
    }
    return pi;
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

void EncodeFlags(EncodedFields& fields, const RdsParameterSet& set, int textAbFlag) {
    fields.FlagBits[5] = set.MS == 1 ? 1 : 0;
    fields.FlagBits[6] = set.TP == 1 ? 1 : 0;
    fields.FlagBits[7] = set.TA == 1 ? 1 : 0;
    fields.FlagBits[8] = textAbFlag == 1 ? 1 : 0;
    for (std::size_t j = 0; j < 4; ++j) {
        fields.DiBits[j] = set.DI[3 - j] ? 1 : 0;
    }
}

AfList CompactAF(const AfList& af, char decimalSeparator) {
    AfList compacted{};
    std::size_t valid = 0;
    for (const auto& entry : af) {
        if (AfCode(entry.str(), decimalSeparator) != 0) {
            compacted[valid++] = entry;
        }
    }
    return compacted;
}

void EncodeAF(EncodedFields& fields, const AfList& af, char decimalSeparator) {
    std::vector<unsigned> codes;
    for (const auto& entry : af) {
        if (const int code = AfCode(entry.str(), decimalSeparator); code != 0) {
            codes.push_back(static_cast<unsigned>(code));
        }
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
