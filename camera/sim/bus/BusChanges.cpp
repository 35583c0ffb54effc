#include "BusChanges.h"

#include "UniqueResource.h"

namespace vyx::sim::bus {
namespace {

constexpr wchar_t kMappingName[] = L"Local\\VyxonSimulatedBusChanges";

// The process's view of the shared count, mapped on first use and kept until the process
// (or the library holding it) unloads.
class SharedCount {
public:
    SharedCount()
        : m_mapping(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(LONG),
                                       kMappingName)) {
        if (m_mapping)
            m_count = static_cast<volatile LONG*>(MapViewOfFile(m_mapping.Get(), FILE_MAP_WRITE, 0, 0, sizeof(LONG)));
    }
    ~SharedCount() {
        if (m_count) UnmapViewOfFile(const_cast<LONG*>(m_count));
    }
    SharedCount(const SharedCount&) = delete;
    SharedCount& operator=(const SharedCount&) = delete;

    volatile LONG* Get() const { return m_count; }

private:
    vyx::win::UniqueHandle m_mapping;
    volatile LONG* m_count = nullptr;  // zero-filled by the system when first created
};

volatile LONG* Count() {
    static SharedCount count;
    return count.Get();
}

}  // namespace

bool ReadChangeCount(LONG* count) {
    volatile LONG* shared = Count();
    if (!shared) return false;
    *count = InterlockedCompareExchange(shared, 0, 0);
    return true;
}

void CountChange() {
    if (volatile LONG* shared = Count()) InterlockedIncrement(shared);
}

}  // namespace vyx::sim::bus
