#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vaxo::test {

// A picture as a PNG file: 8-bit RGB rows, deflate in stored blocks (no
// compression library on the Windows build), for the documentation's
// screenshots.
inline std::string PngFile(int width, int height, const std::vector<std::uint8_t>& rgb) {
    const auto crc = [](const std::string& bytes) {
        std::uint32_t c = 0xFFFFFFFF;
        for (const unsigned char b : bytes) {
            c ^= b;
            for (int k = 0; k < 8; ++k) {
                c = (c >> 1) ^ (0xEDB88320U & (0U - (c & 1U)));
            }
        }
        return c ^ 0xFFFFFFFF;
    };
    const auto be32 = [](std::uint32_t v) {
        return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                           static_cast<char>(v >> 8), static_cast<char>(v)};
    };
    const auto chunk = [&](const std::string& type, const std::string& data) {
        return be32(static_cast<std::uint32_t>(data.size())) + type + data + be32(crc(type + data));
    };
    std::string raw;
    for (int y = 0; y < height; ++y) {
        raw += '\0';
        const auto row = static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 3;
        raw.append(reinterpret_cast<const char*>(rgb.data()) + row,
                   static_cast<std::size_t>(width) * 3);
    }
    std::string z = "\x78\x01";
    std::uint32_t a = 1, b = 0;
    for (const unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    for (std::size_t at = 0; at < raw.size() || at == 0; at += 65535) {
        const std::size_t n = std::min<std::size_t>(65535, raw.size() - at);
        z += static_cast<char>(at + n >= raw.size() ? 1 : 0);
        z += {static_cast<char>(n & 0xFF), static_cast<char>(n >> 8), static_cast<char>(~n & 0xFF),
              static_cast<char>((~n >> 8) & 0xFF)};
        z.append(raw, at, n);
    }
    z += be32((b << 16) | a);
    const std::string header = be32(static_cast<std::uint32_t>(width)) +
                               be32(static_cast<std::uint32_t>(height)) +
                               std::string{8, 2, 0, 0, 0};
    return std::string("\x89PNG\r\n\x1A\n", 8) + chunk("IHDR", header) + chunk("IDAT", z) +
           chunk("IEND", "");
}

}  // namespace vaxo::test
