// Any bytes as the hand-over block, also cut short: the running copy reads
// it without crashing and never takes more than 511 characters per text.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/tell_tail.h"

namespace {

vaxo::TTellTail& FirstInstance() {
    static vaxo::TTellTail* tail = [] {
        static char folder[] = "/tmp/vaxo-fuzz-XXXXXX";
        ::setenv("XDG_RUNTIME_DIR", ::mkdtemp(folder), 1);
        auto* first = new vaxo::TTellTail;
        first->MapFileName = "block";
        first->MutexName = "lock";
        if (!first->Activate()) {
            std::abort();
        }
        return first;
    }();
    return *tail;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vaxo::TTellTail& first = FirstInstance();
    const std::string block = vaxo::TTellTail::RuntimeFolder() + "block";
    FILE* file = std::fopen(block.c_str(), "r+");
    if (!file || ::ftruncate(::fileno(file), 0) != 0) {
        std::abort();
    }
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    if (first.CheckForData() &&
        (first.ReceivedCommandLine().size() > 511 || first.ReceivedDirectory().size() > 511)) {
        std::abort();
    }
    return 0;
}
