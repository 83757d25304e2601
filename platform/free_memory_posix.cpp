#include "platform/free_memory.h"

#include <cstdlib>  // defines __GLIBC__ where it is glibc

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace vaxo {

void MapLargeBlocksApart() {
#if defined(__GLIBC__)
    // A fixed threshold also ends glibc's raising it after each such block.
    ::mallopt(M_MMAP_THRESHOLD, 1024 * 1024);
#endif
}

}  // namespace vaxo
