// Large pages for the heap. Starting the show fills well over a hundred
// megabytes at once (pictures, their mip levels, the renderer's copies of
// them, vertex buffers); in 4 KiB pages that is some thirty thousand page
// faults, each clearing its page, and a fair share of the start-up time.
// Here large blocks come from the main heap instead of a mapping each, and
// the heap's first stretch is marked for transparent huge pages, which the
// kernel then backs with 2 MiB pages where it can (where huge pages are
// "madvise" or "always"; elsewhere nothing changes).
#include "host.h"

#if defined(__GLIBC__)
#include <malloc.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#endif

namespace host {

void BackTheHeapWithLargePages()
{
#if defined(__GLIBC__) && defined(MADV_HUGEPAGE)
    constexpr size_t kStretch = size_t(256) << 20;  // more than start-up touches
    constexpr uintptr_t kHuge = uintptr_t(2) << 20;
    // Blocks up to 32 MiB from the heap, and freed memory kept there for the
    // next block rather than handed back at once.
    if (mallopt(M_MMAP_THRESHOLD, 32 << 20) != 1 || mallopt(M_TRIM_THRESHOLD, 512 << 20) != 1) return;
    // Grow the heap by the stretch once, mark it, and give it back to malloc:
    // every later block within it is carved from marked memory.
    mallopt(M_MMAP_THRESHOLD, static_cast<int>(kStretch + kHuge));
    void* block = std::malloc(kStretch);
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    if (!block) return;
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(block) + kHuge - 1) & ~(kHuge - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(block) + kStretch) & ~(kHuge - 1);
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
    std::free(block);
#endif
}

}  // namespace host
