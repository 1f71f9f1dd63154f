#include "heap_setup.hpp"

#include <malloc.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

namespace tolvane::cli {

void prepareHeap() {
#if !defined(__SANITIZE_ADDRESS__)
    constexpr std::size_t kBlock = 30u << 20;   // below the largest mapping threshold the allocator takes
    constexpr std::size_t kBlocks = 8;          // 240 MiB of address space
    constexpr std::uintptr_t kHuge = 2u << 20;  // huge page size
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
    void* blocks[kBlocks] = {};
    for (std::size_t i = 0; i < kBlocks; ++i) {
        blocks[i] = std::malloc(kBlock);
        if (!blocks[i]) break;
        const auto start = (reinterpret_cast<std::uintptr_t>(blocks[i]) + kHuge - 1) & ~(kHuge - 1);
        const auto end = (reinterpret_cast<std::uintptr_t>(blocks[i]) + kBlock) & ~(kHuge - 1);
        if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);  // a hint only
    }
    // Freed back into the heap's top, which the trim threshold keeps.
    for (void* b : blocks) std::free(b);
#endif
}

}  // namespace tolvane::cli
