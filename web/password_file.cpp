#include "web/password_file.h"

#include <algorithm>

#include "base/file_io.h"
#include "base/text_lines.h"
#include "platform/private_files.h"

namespace vaxo {

std::optional<WebPasswords> ReadPasswordFile(const std::string& path) {
    const auto text = ReadOwnFile(path, 64 * 1024);
    if (!text) {
        return std::nullopt;
    }
    WebPasswords passwords;
    ForEachLine(*text, [&](std::string_view line) {
        const std::size_t space = line.find(' ');
        const std::string_view who = line.substr(0, space);
        const std::string hash(space == std::string_view::npos ? "" : line.substr(space + 1));
        if (who == "operator") {
            passwords.operatorHash = hash;
        } else if (who == "viewer") {
            passwords.viewerHash = hash;
        }
        return true;
    });
    if (passwords.operatorHash.empty()) {
        throw FileError(path + " holds no operator's password: set one with vaxoctl passwd");
    }
    return passwords;
}

void WritePasswordFile(const std::string& path, const WebPasswords& passwords) {
    std::string text = "# The web page's passwords (Argon2id), set with vaxoctl passwd\n";
    text += "operator " + passwords.operatorHash + "\n";
    if (!passwords.viewerHash.empty()) {
        text += "viewer " + passwords.viewerHash + "\n";
    }
    SavePrivateFile(path, text);
}

std::optional<std::string> WeakPasswordReason(const std::string& password) {
    if (password.size() < 8) {
        return "a password has at least 8 characters";
    }
    if (std::any_of(password.begin(), password.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; })) {
        return "a password has no control characters";
    }
    return std::nullopt;
}

}  // namespace vaxo
