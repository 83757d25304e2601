// The web page's password, set without showing it.
#include <iostream>

#include "base/file_io.h"
#include "platform/private_files.h"
#include "platform/program_dir.h"
#include "tools/command_line.h"
#include "tools/commands.h"
#include "web/password_file.h"
#include "web/password_hash.h"

namespace vaxo::ctl {
namespace {

// From a terminal: typed twice without echo. Otherwise the first line of
// standard input (a script's pipe).
std::string NewPassword(std::istream& in) {
    if (auto typed = ReadSecretFromTerminal("New password: ")) {
        const auto again = ReadSecretFromTerminal("The same again: ");
        if (!again || *again != *typed) {
            throw UsageError("the two passwords differ");
        }
        return *typed;
    }
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

}  // namespace

int PasswdCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                  std::istream& in) {
    const ParsedOptions options(args, {.valued = {"file"}, .switches = {"read-only"}});
    if (!options.Positional().empty()) {
        throw UsageError("passwd takes no station file");
    }
    const std::string file =
        options.Value("file").value_or(DetermineProgramDir() + kPasswordFileName);
    const bool viewer = options.Has("read-only");
    const std::string password = NewPassword(in);
    if (const auto weak = WeakPasswordReason(password)) {
        err << "vaxoctl: " << *weak << "; nothing changed\n";
        return 1;
    }
    WebPasswords passwords;
    try {
        passwords = ReadPasswordFile(file).value_or(WebPasswords{});
    } catch (const FileError&) {
        passwords = WebPasswords{};  // one without an operator's password is made anew
    }
    if (viewer && passwords.operatorHash.empty()) {
        err << "vaxoctl: set the operator's password first (without --read-only)\n";
        return 1;
    }
    (viewer ? passwords.viewerHash : passwords.operatorHash) = HashPassword(password);
    WritePasswordFile(file, passwords);
    out << (viewer ? "read-only password" : "password") << " set in " << file << '\n';
    return 0;
}

}  // namespace vaxo::ctl
