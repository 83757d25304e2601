#pragma once

namespace vaxo {

// From now on, blocks of 1 MiB and more are mapped on their own and given
// back to the system when freed. A rare large working set (a memory-hard
// password hash takes 19 MiB) would otherwise stay resident in the
// allocator for the life of a service.
void MapLargeBlocksApart();

}  // namespace vaxo
