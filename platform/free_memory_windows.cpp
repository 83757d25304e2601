#include "platform/free_memory.h"

namespace vaxo {

// The Windows heap already gives blocks this large their own allocation.
void MapLargeBlocksApart() {}

}  // namespace vaxo
