#pragma once
// Counts the heap allocations one thread makes while counting is on: operator new (the
// program's own replacement), the C runtime's malloc, calloc and realloc as this program
// calls them (its import table is redirected while counting), and task memory
// (CoTaskMemAlloc, CoTaskMemRealloc) from any module, through a malloc spy. Fails one
// operator new on demand.
//
// Threads: Start and Stop on a test thread; the counting itself on any thread, lock-free.
#include <windows.h>

namespace vyx::test {

// Makes operator new fail, once, on one thread: the `n`th call from now on that thread throws
// std::bad_alloc (n from 1; a thread id of 0 turns it off).
class AllocationFailure {
public:
    static void FailNth(DWORD threadId, long n);
    // Whether the failure was thrown since FailNth.
    static bool Fired();
};

class AllocationCounter {
public:
    // Counts from now on every allocation that thread `threadId` makes. False when the
    // hooks cannot be installed.
    static bool Start(DWORD threadId);
    // Stops counting, removes the hooks and returns the count.
    static long Stop();
};

}  // namespace vyx::test
