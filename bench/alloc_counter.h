// Counts the heap allocations of the whole benchmark process: malloc and its
// relatives are replaced by versions that count and hand on to the C
// library, so what SDL, the C++ library and the program allocate all counts.
#pragma once

#include <cstdint>

namespace bench {

// False in a sanitizer build, whose own allocator must stay in place.
bool AllocationsCounted();
// Allocations (malloc, calloc, realloc, aligned allocations) so far.
uint64_t Allocations();

}  // namespace bench
