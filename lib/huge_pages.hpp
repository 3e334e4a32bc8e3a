// Large blocks that will be written whole (the distance maps of the ring
// searches) fault in a page at a time: half a million faults for a
// 4096 x 4096 run. Where the system offers transparent huge pages on request,
// such a block is marked for them, so that it faults in 2 MiB at a time.
// Nothing else changes: the memory is the same, and a system without huge
// pages simply ignores the request.
#pragma once

#include <cstddef>

// Marks the whole 2 MiB pages inside [begin, end) for huge pages; does
// nothing for a block smaller than a few of them.
void prefer_huge_pages(const void* begin, const void* end);
