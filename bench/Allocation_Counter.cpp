#include "Allocation_Counter.h"

#ifdef TAVRELO_NO_ALLOCATION_COUNT

int64_t Allocation_Count()
{
    return -1;
}

#else

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

// Qt's containers and strings allocate with malloc, not operator new, so the
// C allocator is replaced too; both forward to glibc's own entry points.
extern "C"
{
    void* __libc_malloc(size_t size);
    void* __libc_calloc(size_t count, size_t size);
    void* __libc_realloc(void* pointer, size_t size);
    void __libc_free(void* pointer);
}

namespace
{
std::atomic<int64_t> allocations{0};

void* Counted(size_t size)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    void* p = __libc_malloc(size == 0 ? 1 : size);
    if (!p)
        throw std::bad_alloc();
    return p;
}
} // namespace

int64_t Allocation_Count()
{
    return allocations.load(std::memory_order_relaxed);
}

extern "C"
{
    void* malloc(size_t size)
    {
        allocations.fetch_add(1, std::memory_order_relaxed);
        return __libc_malloc(size);
    }
    void* calloc(size_t count, size_t size)
    {
        allocations.fetch_add(1, std::memory_order_relaxed);
        return __libc_calloc(count, size);
    }
    void* realloc(void* pointer, size_t size)
    {
        allocations.fetch_add(1, std::memory_order_relaxed);
        return __libc_realloc(pointer, size);
    }
    void free(void* pointer)
    {
        __libc_free(pointer);
    }
}

void* operator new(size_t size)
{
    return Counted(size);
}
void* operator new[](size_t size)
{
    return Counted(size);
}
void operator delete(void* pointer) noexcept
{
    __libc_free(pointer);
}
void operator delete[](void* pointer) noexcept
{
    __libc_free(pointer);
}
void operator delete(void* pointer, size_t) noexcept
{
    __libc_free(pointer);
}
void operator delete[](void* pointer, size_t) noexcept
{
    __libc_free(pointer);
}

#endif
