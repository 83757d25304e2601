#include "base/loop_thread.h"

#include <cstdio>
#include <cstdlib>

namespace vaxo {

void LoopThread::Fail(const char* what) {
    std::fprintf(stderr, "%s: called from a thread other than its loop's\n", what);
    std::fflush(stderr);
    std::abort();
}

}  // namespace vaxo
