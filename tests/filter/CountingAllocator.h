#pragma once
// Counts the heap allocations one thread makes while counting is on: operator new (the
// program's own replacement), the C runtime's malloc, calloc and realloc as this program
// calls them (its import table is redirected while counting), and task memory
// (CoTaskMemAlloc, CoTaskMemRealloc) from any module, through a malloc spy.
//
// Threads: Start and Stop on a test thread; the counting itself on any thread, lock-free.
#include <windows.h>

namespace vyx::test {

class AllocationCounter {
public:
    // Counts from now on every allocation that thread `threadId` makes. False when the
    // hooks cannot be installed.
    static bool Start(DWORD threadId);
    // Stops counting, removes the hooks and returns the count.
    static long Stop();
};

}  // namespace vyx::test
