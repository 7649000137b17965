// Allocation_Counter: counts every heap allocation made by the process (operator new and the C allocator).
#ifndef TAVRELO_ALLOCATION_COUNTER_H
#define TAVRELO_ALLOCATION_COUNTER_H

#include <cstdint>

// Allocations so far, of every thread: operator new, malloc, calloc and
// realloc. Take the difference of two readings around the code measured.
// Negative when counting is not built in (sanitizer builds).
int64_t Allocation_Count();

#endif
