#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace vaxo {

// The folder as text with a trailing separator.
std::string WithSeparator(const std::filesystem::path& folder);

// The folder of the running program file, with a trailing separator.
std::string ProgramFileDir();

// Where the program keeps its settings and resolves relative station and
// live-text names. On Windows the program's own folder. On Linux the
// program's own folder only for a portable copy: a
// folder that belongs to the user who runs it, that the user may write, that
// is no system folder (/usr, /opt, /bin, ... also not for root) and no
// installed layout (with ../share/vaxow beside it). Otherwise
// $XDG_DATA_HOME/vaxow (default ~/.local/share/vaxow), created on first use.
// Always with a trailing separator.
std::string DetermineProgramDir();
std::string ProgramDirFor(const std::string& programFileDir);

// The user's data and configuration folders by the XDG rules.
std::string UserDataHome();
std::string UserConfigHome();

// Folders searched, in order, for the language, help and picture files: the
// program's folder, then ../share/vaxow beside it.
std::vector<std::string> ResourceDirs();

// The first existing file of that name in ResourceDirs(), or the name in the
// program's folder when none exists.
std::string ResourcePath(const std::string& fileName);

// The operator's manual (HTML): the installed one, ../share/doc/vaxow beside
// the program, else the copy the build puts beside the program.
std::string ManualPath();
std::string ManualPathFor(const std::string& programFileDir);

}  // namespace vaxo
