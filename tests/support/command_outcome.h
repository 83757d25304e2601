#pragma once

#include <string>

namespace vaxo::test {

// What a vaxoctl command returned and printed.
struct CommandOutcome {
    int code = 0;
    std::string out;
    std::string err;
};

}  // namespace vaxo::test
