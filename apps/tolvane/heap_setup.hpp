// The heap the command line's calculations run on.
#pragma once

namespace tolvane::cli {

// A frame at oversampling 30 passes through some twenty buffers of up to
// 16 MB each. Freshly mapped, every 4 KiB page of them costs a page fault
// (tens of milliseconds per frame, more on a virtual machine). This keeps
// large blocks on the heap, where a freed buffer is reused, and marks the
// heap's first 256 MiB for transparent huge pages (where the system allows
// them on request), so first touches fault 2 MiB at a time. Address space
// only: nothing is touched here. Does nothing under AddressSanitizer, which
// has an allocator of its own.
void prepareHeap();

}  // namespace tolvane::cli
