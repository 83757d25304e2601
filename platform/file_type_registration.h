#pragma once

#include <string>

namespace vaxo {

inline constexpr const char* kStationMimeType = "application/x-vaxo-station";
inline constexpr const char* kDesktopFileName = "vaxow.desktop";

struct FileTypeRegistration {
    std::string programPath;  // the program file, full path
    std::string iconPng;      // the program's icon, PNG bytes
    std::string dataHome;     // $XDG_DATA_HOME, with no trailing separator
    std::string configHome;   // $XDG_CONFIG_HOME
};

// Registers "*.rds" as "Radio Data System file", opened by the program with
// the file's path as its one argument.
// On Windows: four machine-wide keys below HKEY_LOCAL_MACHINE\Software\CLASSES
// (".rds", "rds_auto_file", its DefaultIcon and its open command with the
// program and "%1" quoted); keys that cannot be created are skipped, a value
// that cannot be written raises "Failed to set data for ''".
// On Linux, for the user: a shared-mime-info package (the glob, and a first
// line "CLEAR" as magic), a desktop entry, the icon, and the program as the
// type's default. Files that cannot be created are skipped silently; one that
// was created but cannot be written raises "Failed to set data for '<name>'".
void RegisterStationFileType(const FileTypeRegistration& registration);

// A desktop entry's Exec argument for a path: quoted and escaped when needed.
std::string DesktopExecArgument(const std::string& path);

}  // namespace vaxo
