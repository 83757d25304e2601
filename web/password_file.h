#pragma once

#include <optional>
#include <string>

namespace vaxo {

// The web page's passwords, as hashes: the operator's, who may change the
// station, and optionally a viewer's, who may only look.
struct WebPasswords {
    std::string operatorHash;
    std::string viewerHash;  // empty: no read-only password
};

// "vaxow.passwd" beside the settings file.
inline constexpr const char* kPasswordFileName = "vaxow.passwd";

// Lines "operator HASH" and "viewer HASH", "#" comments. Nothing when the
// file does not exist; FileError when it cannot be read (a link or a file
// with other names is not) or holds no operator's password.
std::optional<WebPasswords> ReadPasswordFile(const std::string& path);
// Written so that only its owner may read it.
void WritePasswordFile(const std::string& path, const WebPasswords& passwords);

// Why a new password will not do, or nothing: at least 8 characters, no
// control characters.
std::optional<std::string> WeakPasswordReason(const std::string& password);

}  // namespace vaxo
