#include "platform/process_priority.h"

#include <sys/resource.h>

namespace vaxo {

namespace {
constexpr int kHighNice = -10;
constexpr int kNormalNice = 0;
}  // namespace

bool SetHighProcessPriority(bool high) {
    return ::setpriority(PRIO_PROCESS, 0, high ? kHighNice : kNormalNice) == 0;
}

}  // namespace vaxo
