#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>

#include "base/file_io.h"
#include "platform/private_files.h"

namespace vaxo {

void SavePrivateFile(const std::string& path, std::string_view bytes) {
    const std::filesystem::path target(path);
    std::string temporary =
        (target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path()) /
        ".vaxo-XXXXXX.tmp";
    const int file = ::mkstemps(temporary.data(), 4);  // mode 0600
    if (file < 0) {
        throw FileError("Cannot create file " + path);
    }
    const char* at = bytes.data();
    std::size_t left = bytes.size();
    bool written = true;
    while (written && left > 0) {
        const ssize_t count = ::write(file, at, left);
        written = count > 0;
        at += written ? count : 0;
        left -= written ? static_cast<std::size_t>(count) : 0;
    }
    written = written && ::fsync(file) == 0;
    written = ::close(file) == 0 && written;
    if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        throw FileError("Cannot create file " + path);
    }
}

std::optional<std::string> WhyNotPrivate(const std::string& path) {
    struct stat facts {};
    if (::stat(path.c_str(), &facts) != 0 || (facts.st_mode & 077) == 0) {
        return std::nullopt;
    }
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(facts.st_mode & 07777));
    return path + " may be read by others than its owner (mode " + mode + ")";
}

std::optional<std::string> ReadSecretFromTerminal(const std::string& prompt) {
    if (!::isatty(STDIN_FILENO)) {
        return std::nullopt;
    }
    termios before{};
    ::tcgetattr(STDIN_FILENO, &before);
    termios quiet = before;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    std::cerr << prompt << std::flush;
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    std::string line;
    std::getline(std::cin, line);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &before);
    std::cerr << '\n';
    return line;
}

}  // namespace vaxo
