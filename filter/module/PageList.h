#pragma once
// Property-page lists of the filter and the pin, filled from the build's page class
// identifiers.
#include <windows.h>
#include <ocidl.h>

#include <cstddef>

namespace vyx {

// Positions in ModelDescriptor::pageClsids (the class-factory order).
enum PageSlot : int {
    kPageImageParameters = 0,
    kPageCameraControl = 1,
    kPageAutoControl = 2,
    kPageColor = 3,
    kPageST4Test = 4,
    kPageTemperature = 5,
    kPageAbout = 6,
    kPageOthers = 7,
};

// Sets the count, then a task-memory array of the slots' class identifiers. E_POINTER for
// a null list; E_OUTOFMEMORY, with the count set and no array, when allocation fails.
HRESULT FillPageList(CAUUID* pages, const int* slots, std::size_t count);

template <std::size_t N>
HRESULT FillPageList(CAUUID* pages, const int (&slots)[N]) {
    return FillPageList(pages, slots, N);
}

}  // namespace vyx
