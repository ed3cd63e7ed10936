#include "alloc_counter.h"

#include <cerrno>
#include <cstddef>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TORVEK_COUNT_ALLOCATIONS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define TORVEK_COUNT_ALLOCATIONS 0
#endif
#endif
#ifndef TORVEK_COUNT_ALLOCATIONS
#define TORVEK_COUNT_ALLOCATIONS 1
#endif

namespace {
// One thread draws; SDL's few helper threads only make the count larger.
uint64_t allocations = 0;
}  // namespace

namespace bench {

bool AllocationsCounted()
{
    return TORVEK_COUNT_ALLOCATIONS;
}

uint64_t Allocations()
{
    return __atomic_load_n(&allocations, __ATOMIC_RELAXED);
}

}  // namespace bench

#if TORVEK_COUNT_ALLOCATIONS
// glibc's own entry points, which its malloc symbols are aliases of.
extern "C" {
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *block, size_t size);
void *__libc_memalign(size_t alignment, size_t size);
void __libc_free(void *block);

static void Count()
{
    __atomic_add_fetch(&allocations, 1, __ATOMIC_RELAXED);
}

void *malloc(size_t size)
{
    Count();
    return __libc_malloc(size);
}

void *calloc(size_t count, size_t size)
{
    Count();
    return __libc_calloc(count, size);
}

void *realloc(void *block, size_t size)
{
    Count();
    return __libc_realloc(block, size);
}

void *memalign(size_t alignment, size_t size)
{
    Count();
    return __libc_memalign(alignment, size);
}

void *aligned_alloc(size_t alignment, size_t size)
{
    Count();
    return __libc_memalign(alignment, size);
}

int posix_memalign(void **block, size_t alignment, size_t size)
{
    Count();
    void *got = __libc_memalign(alignment, size);
    if (!got)
        return ENOMEM;
    *block = got;
    return 0;
}

void free(void *block)
{
    __libc_free(block);
}
}
#endif
