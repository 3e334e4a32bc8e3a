#include "lib/huge_pages.hpp"

#include <sys/mman.h>

#include <cstdint>

void prefer_huge_pages(const void* begin, const void* end) {
#ifdef MADV_HUGEPAGE
    constexpr std::uintptr_t kHuge = std::uintptr_t{1} << 21;
    const auto first = (reinterpret_cast<std::uintptr_t>(begin) + kHuge - 1) & ~(kHuge - 1);
    const auto last = reinterpret_cast<std::uintptr_t>(end) & ~(kHuge - 1);
    if (last < first + 2 * kHuge) return;  // not worth it
    madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);  // a refusal changes nothing
#else
    (void)begin;
    (void)end;
#endif
}
