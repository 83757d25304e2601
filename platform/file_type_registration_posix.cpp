#include "platform/file_type_registration.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "base/file_io.h"
#include "platform/program_dir.h"
#include "platform/station_type_files.h"

namespace vaxo {
namespace {

namespace fs = std::filesystem;

// The installed entry starts "vaxow" from the PATH; this one starts the
// program file that registered, wherever it lies.
std::string DesktopEntry(const std::string& programPath) {
    std::istringstream lines(kDesktopEntryTemplate);
    std::ostringstream out;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("TryExec=", 0) == 0) {
            continue;
        }
        if (line.rfind("Exec=", 0) == 0) {
            line = "Exec=" + DesktopExecArgument(programPath) + " %f";
        }
        out << line << '\n';
    }
    return out.str();
}

// Writes one registration file; a folder or file that cannot be created is
// skipped, a write that fails afterwards is an error.
void WriteRegistrationFile(const fs::path& path, const std::string& bytes) {
    std::error_code error;
    fs::create_directories(path.parent_path(), error);
    try {
        SaveFile(path.string(), bytes);
    } catch (const FileError& failure) {
        if (failure.kind() == FileError::Kind::WriteFailed) {
            throw FileError("Failed to set data for '" + path.filename().string() + "'");
        }
    }
}

// mimeapps.list with our program as the type's default, other lines kept.
std::string DefaultApplications(const std::string& existing) {
    const std::string entry = std::string(kStationMimeType) + "=" + kDesktopFileName;
    std::istringstream lines(existing);
    std::ostringstream out;
    bool inDefaults = false, written = false;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.front() == '[') {
            if (inDefaults && !written) {
                out << entry << '\n';
                written = true;
            }
            inDefaults = line == "[Default Applications]";
        } else if (inDefaults && line.rfind(std::string(kStationMimeType) + "=", 0) == 0) {
            continue;
        }
        out << line << '\n';
    }
    if (!written) {
        out << (inDefaults ? "" : "[Default Applications]\n") << entry << '\n';
    }
    return out.str();
}

// Runs a helper of the desktop, if the system has it; its outcome does not matter.
void RunQuietly(const std::vector<std::string>& command) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::vector<char*> argv;
        argv.reserve(command.size() + 1);
        for (const auto& part : command) {
            argv.push_back(const_cast<char*>(part.c_str()));
        }
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    if (pid > 0) {
        ::waitpid(pid, nullptr, 0);
    }
}

}  // namespace

std::string DesktopExecArgument(const std::string& path) {
    if (path.find_first_of(" \t\n\"'\\><~|&;$*?#()`") == std::string::npos) {
        return path;
    }
    std::string quoted = "\"";
    for (char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    quoted += '"';
    std::string escaped;  // the desktop entry's own string escapes
    for (char c : quoted) {
        escaped += c == '\\' ? "\\\\" : std::string(1, c);
    }
    return escaped;
}

void RegisterStationFileType(const FileTypeRegistration& r) {
    const fs::path data = r.dataHome;
    WriteRegistrationFile(data / "mime" / "packages" / "vaxow-station.xml", kStationMimePackage);
    WriteRegistrationFile(data / "applications" / kDesktopFileName, DesktopEntry(r.programPath));
    WriteRegistrationFile(data / "icons" / "hicolor" / "64x64" / "apps" / "vaxow.png", r.iconPng);
    const fs::path mimeApps = fs::path(r.configHome) / "mimeapps.list";
    std::string existing;
    try {
        existing = ReadFileIfExists(mimeApps.string()).value_or("");
    } catch (const FileError&) {
    }
    WriteRegistrationFile(mimeApps, DefaultApplications(existing));
    RunQuietly({"update-mime-database", (data / "mime").string()});
    RunQuietly({"update-desktop-database", (data / "applications").string()});
}

}  // namespace vaxo
