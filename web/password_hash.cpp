#include "web/password_hash.h"

#include <gcrypt.h>

#include <array>
#include <charconv>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <vector>

namespace vaxo {
namespace {

using Bytes = std::vector<unsigned char>;

// OWASP's first choice for Argon2id: 19 MiB, two passes, one lane.
constexpr unsigned long kMemoryKib = 19456;
constexpr unsigned long kPasses = 2;
constexpr unsigned long kLanes = 1;
constexpr std::size_t kSaltBytes = 16;
constexpr std::size_t kHashBytes = 32;

void StartLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (!gcry_check_version(GCRYPT_VERSION)) {
            throw std::runtime_error("libgcrypt is older than the one this program was built with");
        }
        // Nothing here stays secret for long: no locked memory, no warnings about it.
        gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    });
}

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Base64(const Bytes& bytes) {
    std::string text;
    unsigned bits = 0;
    int count = 0;
    for (unsigned char byte : bytes) {
        bits = (bits << 8) | byte;
        count += 8;
        while (count >= 6) {
            count -= 6;
            text += kAlphabet[(bits >> count) & 0x3F];
        }
    }
    if (count > 0) {
        text += kAlphabet[(bits << (6 - count)) & 0x3F];
    }
    return text;
}

std::optional<Bytes> FromBase64(std::string_view text) {
    Bytes bytes;
    unsigned bits = 0;
    int count = 0;
    for (char c : text) {
        const std::size_t value = kAlphabet.find(c);
        if (value == std::string_view::npos) {
            return std::nullopt;
        }
        bits = (bits << 6) | static_cast<unsigned>(value);
        count += 6;
        if (count >= 8) {
            count -= 8;
            bytes.push_back(static_cast<unsigned char>((bits >> count) & 0xFF));
        }
    }
    return bytes;
}

struct Costs {
    unsigned long memoryKib = kMemoryKib;
    unsigned long passes = kPasses;
    unsigned long lanes = kLanes;
};

std::optional<Bytes> Argon2id(std::string_view password, const Bytes& salt, const Costs& costs,
                              std::size_t length) {
    StartLibrary();
    const unsigned long parameters[4] = {static_cast<unsigned long>(length), costs.passes,
                                         costs.memoryKib, costs.lanes};
    gcry_kdf_hd_t handle = nullptr;
    if (gcry_kdf_open(&handle, GCRY_KDF_ARGON2, GCRY_KDF_ARGON2ID, parameters, 4, password.data(),
                      password.size(), salt.data(), salt.size(), nullptr, 0, nullptr, 0) != 0) {
        return std::nullopt;
    }
    Bytes hash(length);
    const bool done = gcry_kdf_compute(handle, nullptr) == 0 &&
                      gcry_kdf_final(handle, hash.size(), hash.data()) == 0;
    gcry_kdf_close(handle);
    return done ? std::optional(hash) : std::nullopt;
}

std::optional<unsigned long> Number(std::string_view text) {
    unsigned long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? std::optional(value)
                                                                    : std::nullopt;
}

// "m=19456,t=2,p=1"; costs this program would not set are refused, so that
// a doctored file cannot make each sign-in take minutes or gigabytes.
std::optional<Costs> ReadCosts(std::string_view text) {
    Costs costs;
    int seen = 0;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        if (item.size() < 3 || item[1] != '=') {
            return std::nullopt;
        }
        const auto value = Number(item.substr(2));
        if (!value) {
            return std::nullopt;
        }
        switch (item[0]) {
            case 'm':
                costs.memoryKib = *value;
                break;
            case 't':
                costs.passes = *value;
                break;
            case 'p':
                costs.lanes = *value;
                break;
            default:
                return std::nullopt;
        }
        ++seen;
    }
    const bool sane = seen == 3 && costs.memoryKib >= 8 * costs.lanes &&
                      costs.memoryKib <= 256 * 1024 && costs.passes >= 1 && costs.passes <= 16 &&
                      costs.lanes >= 1 && costs.lanes <= 8;
    return sane ? std::optional(costs) : std::nullopt;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos) {
            return parts;
        }
        text.remove_prefix(at + 1);
    }
}

}  // namespace

std::string RandomToken(std::size_t bytes) {
    StartLibrary();
    Bytes random(bytes);
    gcry_randomize(random.data(), random.size(), GCRY_STRONG_RANDOM);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    for (unsigned char byte : random) {
        text += kHex[byte >> 4];
        text += kHex[byte & 0xF];
    }
    return text;
}

bool SameSecret(std::string_view a, std::string_view b) {
    unsigned difference = a.size() == b.size() ? 0 : 1;
    for (std::size_t i = 0; i < a.size(); ++i) {
        difference |=
            static_cast<unsigned char>(a[i]) ^ static_cast<unsigned char>(i < b.size() ? b[i] : 0);
    }
    return difference == 0;
}

std::string HashPassword(std::string_view password) {
    StartLibrary();
    Bytes salt(kSaltBytes);
    gcry_randomize(salt.data(), salt.size(), GCRY_STRONG_RANDOM);
    const auto hash = Argon2id(password, salt, Costs{}, kHashBytes);
    if (!hash) {
        throw std::runtime_error("Argon2id is not available in this libgcrypt");
    }
    return "$argon2id$v=19$m=" + std::to_string(kMemoryKib) + ",t=" + std::to_string(kPasses) +
           ",p=" + std::to_string(kLanes) + "$" + Base64(salt) + "$" + Base64(*hash);
}

bool PasswordMatches(std::string_view password, std::string_view phc) {
    // "", "argon2id", "v=19", costs, salt, hash
    const auto parts = Split(phc, '$');
    if (parts.size() != 6 || !parts[0].empty() || parts[1] != "argon2id" || parts[2] != "v=19") {
        return false;
    }
    const auto costs = ReadCosts(parts[3]);
    const auto salt = FromBase64(parts[4]);
    const auto expected = FromBase64(parts[5]);
    if (!costs || !salt || !expected || salt->size() < 8 || expected->size() < 16 ||
        expected->size() > 64) {
        return false;
    }
    const auto hash = Argon2id(password, *salt, *costs, expected->size());
    return hash &&
           SameSecret(
               std::string_view(reinterpret_cast<const char*>(hash->data()), hash->size()),
               std::string_view(reinterpret_cast<const char*>(expected->data()), expected->size()));
}

}  // namespace vaxo
