// Reading and saving with Windows calls. A save goes to a temporary file in
// the same folder that is then put in the old file's place, keeping its
// attributes and security; where no temporary file can be made there, the
// file is written in place.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>

#include "base/file_io.h"
#include "base/temporary_names.h"

namespace vaxo {
namespace {

namespace fs = std::filesystem;

class Handle {
  public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { Close(); }
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    bool Close() {
        const HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return handle == INVALID_HANDLE_VALUE || ::CloseHandle(handle);
    }

  private:
    HANDLE handle_;
};

[[noreturn]] void CannotCreate(const std::string& path) {
    throw FileError(FileError::Kind::CannotCreate, "Cannot create file " + path);
}

[[noreturn]] void WriteFailed() {
    throw FileError(FileError::Kind::WriteFailed, "Stream write error");
}

bool WriteAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) {
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    const fs::path folder = fs::path(path).parent_path();
    return folder.empty() ? "." : folder.string();
}

// A save keeps its temporary file open without sharing; one that can be
// deleted is left from a save that was killed.
void RemoveLeftovers(const std::string& folder, const std::string& prefix) {
    WIN32_FIND_DATAA found{};
    const HANDLE search =
        ::FindFirstFileA((folder + "\\" + prefix + "*" + kTemporarySuffix).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        ::DeleteFileA((folder + "\\" + found.cFileName).c_str());
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
}

HANDLE CreateTemporary(const std::string& target, std::string& name) {
    const std::string folder = FolderOf(target);
    const std::string prefix = TemporaryPrefix(fs::path(target).filename().string());
    RemoveLeftovers(folder, prefix);
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        char tail[16];
        std::snprintf(tail, sizeof tail, "%08x", static_cast<unsigned>(random()));
        name = folder + "\\" + prefix + tail + kTemporarySuffix;
        const HANDLE file = ::CreateFileA(name.c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                                          CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS) {
            return file;
        }
    }
    return INVALID_HANDLE_VALUE;
}

// No reparse point (a symbolic link, a junction) and one name only.
bool PlainFile(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    return ::GetFileInformationByHandle(file, &info) &&
           (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 && info.nNumberOfLinks == 1;
}

bool PlainFile(const std::string& path) {
    Handle file(::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    return file.valid() && PlainFile(file.get());
}

enum class Replaced { Done, NotPossible };

Replaced ReplaceAtomically(const std::string& target, bool exists, std::string_view bytes,
                           const std::string& path) {
    std::string temporary;
    Handle file(CreateTemporary(target, temporary));
    if (!file.valid()) {
        return Replaced::NotPossible;
    }
    const bool written = WriteAll(file.get(), bytes) && ::FlushFileBuffers(file.get());
    if (!file.Close() || !written) {
        ::DeleteFileA(temporary.c_str());
        WriteFailed();
    }
    const bool moved =
        exists ? ::ReplaceFileA(target.c_str(), temporary.c_str(), nullptr,
                                REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0
               : ::MoveFileExA(temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
    if (!moved) {
        ::DeleteFileA(temporary.c_str());
        if (!exists) {
            CannotCreate(path);
        }
        return Replaced::NotPossible;
    }
    return Replaced::Done;
}

void WriteInPlace(const std::string& target, std::string_view bytes, const std::string& path) {
    Handle file(::CreateFileA(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        CannotCreate(path);
    }
    const bool written =
        WriteAll(file.get(), bytes) && ::SetEndOfFile(file.get()) && ::FlushFileBuffers(file.get());
    if (!file.Close() || !written) {
        WriteFailed();
    }
}

}  // namespace

std::optional<std::string> ReadFileIfExists(const std::string& path, std::size_t limit,
                                            FileLinks links) {
    const DWORD flags = links == FileLinks::Confined
                            ? FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT
                            : FILE_ATTRIBUTE_NORMAL;
    Handle file(::CreateFileA(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, flags, nullptr));
    if (!file.valid()) {
        const DWORD code = ::GetLastError();
        // A name no file can have (one with quotes, say) names no file.
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ||
            code == ERROR_INVALID_NAME) {
            return std::nullopt;
        }
        throw FileError(FileError::Kind::CannotOpen, "Cannot open file " + path);
    }
    LARGE_INTEGER size{};
    if (::GetFileType(file.get()) != FILE_TYPE_DISK || !::GetFileSizeEx(file.get(), &size) ||
        (links == FileLinks::Confined && !PlainFile(file.get()))) {
        throw FileError(FileError::Kind::CannotOpen, "Cannot open file " + path);
    }
    if (static_cast<unsigned long long>(size.QuadPart) > limit) {
        throw FileError(FileError::Kind::TooLarge, "Cannot open file " + path);
    }
    std::string text;
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) {
            throw FileError(FileError::Kind::ReadFailed, "Stream read error");
        }
        if (got == 0) {
            return text;
        }
        if (text.size() + got > limit) {
            throw FileError(FileError::Kind::TooLarge, "Cannot open file " + path);  // it grew
        }
        text.append(buffer, got);
    }
}

void SaveFile(const std::string& path, std::string_view bytes, FileLinks links) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (!exists && ::GetLastError() != ERROR_FILE_NOT_FOUND) {
        CannotCreate(path);
    }
    if (exists && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY |
                                 FILE_ATTRIBUTE_DEVICE)) != 0) {
        CannotCreate(path);
    }
    if (exists && links == FileLinks::Confined && !PlainFile(path)) {
        CannotCreate(path);
    }
    if (ReplaceAtomically(path, exists, bytes, path) == Replaced::Done) {
        return;
    }
    if (!exists) {
        CannotCreate(path);
    }
    WriteInPlace(path, bytes, path);
}

}  // namespace vaxo
