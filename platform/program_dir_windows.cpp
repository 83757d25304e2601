// On Windows the program keeps its files beside the program file.
#include <windows.h>

#include <cstdlib>
#include <filesystem>

#include "platform/program_dir.h"

namespace vaxo {

std::string UserDataHome() {
    const char* appData = std::getenv("APPDATA");
    return appData ? appData : "";
}

std::string UserConfigHome() {
    return UserDataHome();
}

std::string ProgramFileDir() {
    char path[MAX_PATH + 1] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::filesystem::path program(std::string(path, length));
    return WithSeparator(program.parent_path());
}

std::string ProgramDirFor(const std::string& programFileDir) {
    return WithSeparator(programFileDir);
}

std::string DetermineProgramDir() {
    return ProgramDirFor(ProgramFileDir());
}

}  // namespace vaxo
