// Test processes run side by side as the same user: each is its own
// instance of the program (and so are the processes it starts).
#include <stdlib.h>
#include <unistd.h>

#include <string>

namespace {

const bool scoped = [] {
#ifndef _WIN32
    ::setenv("VAXO_INSTANCE", ("test-" + std::to_string(::getpid())).c_str(), 0);
#endif
    return true;
}();

}  // namespace
