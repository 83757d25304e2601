#pragma once

#include <string>
#include <vector>

namespace vaxo {

// The folder of the running program file, with a trailing separator.
std::string ProgramFileDir();

// Where the program keeps its settings and resolves relative station and
// live-text names: the program's own folder when it is writable (a portable
// install), otherwise $XDG_DATA_HOME/vaxow (default ~/.local/share/vaxow),
// created on first use. Always with a trailing separator.
std::string DetermineProgramDir();

// Folders searched, in order, for the language, help and picture files: the
// program's folder, then ../share/vaxow beside it.
std::vector<std::string> ResourceDirs();

// The first existing file of that name in ResourceDirs(), or the name in the
// program's folder when none exists.
std::string ResourcePath(const std::string& fileName);

}  // namespace vaxo
