#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace vaxo {

// When the first certificate of a PEM file (the server's, in a chain) ends;
// nothing when it cannot be read, or in a build without HTTPS.
std::optional<std::chrono::system_clock::time_point> CertificateFileEnds(const std::string& path);

// How soon a certificate counts as ending.
inline constexpr std::chrono::hours kCertificateWarning{14 * 24};

// "the web page's certificate cert.pem ends 2026-12-20 12:00:00 (in 9 days)",
// or "... ended ..."; nothing while it has more than kCertificateWarning.
std::optional<std::string> CertificateEndsSoon(const std::string& path,
                                               std::chrono::system_clock::time_point ends,
                                               std::chrono::system_clock::time_point now);

}  // namespace vaxo
