#pragma once

#include <filesystem>

#include "tests/support/temp_dir.h"

#ifndef _WIN32
#include <stdlib.h>
#endif

namespace vaxo::test {

// A runtime folder ($XDG_RUNTIME_DIR, where the hand-over block lives) of
// the test's own while it lives. On Windows the hand-over objects are
// named, not kept in a folder, and nothing is set.
class OwnRuntimeDir {
  public:
    OwnRuntimeDir() {
#ifndef _WIN32
        ::setenv("XDG_RUNTIME_DIR", dir_.path().c_str(), 1);
#endif
    }
    OwnRuntimeDir(const OwnRuntimeDir&) = delete;
    OwnRuntimeDir& operator=(const OwnRuntimeDir&) = delete;
    ~OwnRuntimeDir() {
#ifndef _WIN32
        ::unsetenv("XDG_RUNTIME_DIR");
#endif
    }
    const std::filesystem::path& path() const {
        return dir_.path();
    }

  private:
    TempDir dir_;
};

}  // namespace vaxo::test
