#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vaxo {

// Passwords kept as Argon2id hashes (RFC 9106, from libgcrypt) in the PHC
// string form "$argon2id$v=19$m=19456,t=2,p=1$<salt>$<hash>", base64
// without padding, with a random salt of 16 bytes.
std::string HashPassword(std::string_view password);
// Whether the password gives the hash; false for a string of another form,
// or costs beyond what this program would ever ask for.
bool PasswordMatches(std::string_view password, std::string_view phc);

// `bytes` strong random bytes as hex: session ids, tokens.
std::string RandomToken(std::size_t bytes = 32);
// Equal texts, in a time that does not tell where they differ.
bool SameSecret(std::string_view a, std::string_view b);

}  // namespace vaxo
