#include "platform/Allocator.h"

#include <malloc.h>

namespace kelvor::platform {

void keepAllocatorPagesForReuse() {
#if defined(__GLIBC__)
    constexpr int kMapAbove = 8 << 20;
    constexpr int kKeepAtTop = 32 << 20;
    mallopt(M_MMAP_THRESHOLD, kMapAbove);
    mallopt(M_TRIM_THRESHOLD, kKeepAtTop);
#endif
}

} // namespace kelvor::platform
