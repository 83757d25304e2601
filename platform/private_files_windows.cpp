#include <windows.h>

#include <io.h>

#include <cstdio>
#include <iostream>

#include "base/file_io.h"
#include "platform/private_files.h"

namespace vaxo {

void SavePrivateFile(const std::string& path, std::string_view bytes) {
    SaveFile(path, bytes);
}

std::optional<std::string> WhyNotPrivate(const std::string&) {
    return std::nullopt;
}

std::optional<std::string> ReadSecretFromTerminal(const std::string& prompt) {
    if (!_isatty(_fileno(stdin))) {
        return std::nullopt;
    }
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD before = 0;
    GetConsoleMode(input, &before);
    std::cerr << prompt << std::flush;
    SetConsoleMode(input, before & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
    std::string line;
    std::getline(std::cin, line);
    SetConsoleMode(input, before);
    std::cerr << '\n';
    return line;
}

}  // namespace vaxo
