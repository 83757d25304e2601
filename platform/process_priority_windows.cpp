#include <windows.h>

#include "platform/process_priority.h"

namespace vaxo {

bool SetHighProcessPriority(bool high) {
    return ::SetPriorityClass(::GetCurrentProcess(),
                              high ? HIGH_PRIORITY_CLASS : NORMAL_PRIORITY_CLASS) != 0;
}

}  // namespace vaxo
