#include "CountingAllocator.h"

#include <objbase.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<DWORD> g_countedThread{0};
std::atomic<long> g_count{0};
std::atomic<DWORD> g_failingThread{0};
std::atomic<long> g_failCountdown{0};
std::atomic<bool> g_failFired{false};

void CountIfCounted() {
    const DWORD counted = g_countedThread.load(std::memory_order_relaxed);
    if (counted != 0 && counted == GetCurrentThreadId()) g_count.fetch_add(1, std::memory_order_relaxed);
}

// The C runtime's entries in this program's import table, and what they held.
using MallocFn = void*(__cdecl*)(size_t);
using CallocFn = void*(__cdecl*)(size_t, size_t);
using ReallocFn = void*(__cdecl*)(void*, size_t);

}  // namespace

extern "C" {
extern MallocFn __MINGW_IMP_SYMBOL(malloc);
extern CallocFn __MINGW_IMP_SYMBOL(calloc);
extern ReallocFn __MINGW_IMP_SYMBOL(realloc);
}

namespace {

MallocFn g_realMalloc = nullptr;
CallocFn g_realCalloc = nullptr;
ReallocFn g_realRealloc = nullptr;

void* __cdecl CountingMalloc(size_t size) {
    CountIfCounted();
    return g_realMalloc(size);
}

void* __cdecl CountingCalloc(size_t count, size_t size) {
    CountIfCounted();
    return g_realCalloc(count, size);
}

void* __cdecl CountingRealloc(void* block, size_t size) {
    CountIfCounted();
    return g_realRealloc(block, size);
}

// Writes one import-table entry, which the loader may have left read-only.
template <typename Fn>
bool Redirect(Fn* entry, Fn value) {
    DWORD old = 0;
    if (!VirtualProtect(entry, sizeof *entry, PAGE_READWRITE, &old)) return false;
    *entry = value;
    VirtualProtect(entry, sizeof *entry, old, &old);
    return true;
}

// Sees every task-memory allocation of the process; counts those of the counted thread.
class CountingSpy : public IMallocSpy {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IMallocSpy) {
            *object = static_cast<IMallocSpy*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP_(SIZE_T) PreAlloc(SIZE_T request) override {
        CountIfCounted();
        return request;
    }
    STDMETHODIMP_(void*) PostAlloc(void* actual) override { return actual; }
    STDMETHODIMP_(void*) PreFree(void* request, BOOL) override { return request; }
    STDMETHODIMP_(void) PostFree(BOOL) override {}
    STDMETHODIMP_(SIZE_T) PreRealloc(void* request, SIZE_T size, void** newRequest, BOOL) override {
        CountIfCounted();
        *newRequest = request;
        return size;
    }
    STDMETHODIMP_(void*) PostRealloc(void* actual, BOOL) override { return actual; }
    STDMETHODIMP_(void*) PreGetSize(void* request, BOOL) override { return request; }
    STDMETHODIMP_(SIZE_T) PostGetSize(SIZE_T actual, BOOL) override { return actual; }
    STDMETHODIMP_(void*) PreDidAlloc(void* request, BOOL) override { return request; }
    STDMETHODIMP_(int) PostDidAlloc(void*, BOOL, int actual) override { return actual; }
    STDMETHODIMP_(void) PreHeapMinimize() override {}
    STDMETHODIMP_(void) PostHeapMinimize() override {}
};

CountingSpy g_spy;

}  // namespace

// The program's operator new; the library's other forms (array, nothrow) call this one.
void* operator new(std::size_t size) {
    CountIfCounted();
    const DWORD failing = g_failingThread.load(std::memory_order_relaxed);
    if (failing != 0 && failing == GetCurrentThreadId() && g_failCountdown.fetch_sub(1) == 1) {
        g_failFired = true;
        throw std::bad_alloc();
    }
    if (void* block = g_realMalloc ? g_realMalloc(size ? size : 1) : std::malloc(size ? size : 1)) return block;
    throw std::bad_alloc();
}

void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

namespace vyx::test {

void AllocationFailure::FailNth(DWORD threadId, long n) {
    g_failingThread = 0;
    g_failFired = false;
    g_failCountdown = n;
    g_failingThread = threadId;
}

bool AllocationFailure::Fired() {
    return g_failFired;
}

bool AllocationCounter::Start(DWORD threadId) {
    g_realMalloc = __MINGW_IMP_SYMBOL(malloc);
    g_realCalloc = __MINGW_IMP_SYMBOL(calloc);
    g_realRealloc = __MINGW_IMP_SYMBOL(realloc);
    if (FAILED(CoRegisterMallocSpy(&g_spy))) return false;
    if (!Redirect(&__MINGW_IMP_SYMBOL(malloc), &CountingMalloc) ||
        !Redirect(&__MINGW_IMP_SYMBOL(calloc), &CountingCalloc) ||
        !Redirect(&__MINGW_IMP_SYMBOL(realloc), &CountingRealloc)) {
        CoRevokeMallocSpy();
        return false;
    }
    g_count = 0;
    g_countedThread = threadId;
    return true;
}

long AllocationCounter::Stop() {
    g_countedThread = 0;
    Redirect(&__MINGW_IMP_SYMBOL(malloc), g_realMalloc);
    Redirect(&__MINGW_IMP_SYMBOL(calloc), g_realCalloc);
    Redirect(&__MINGW_IMP_SYMBOL(realloc), g_realRealloc);
    // Refused while blocks allocated under the spy are alive; it then goes once they are freed.
    CoRevokeMallocSpy();
    return g_count;
}

}  // namespace vyx::test
