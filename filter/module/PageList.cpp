#include "PageList.h"

#include "ModelDescriptor.h"

namespace vyx {

HRESULT FillPageList(CAUUID* pages, const int* slots, std::size_t count) {
    if (!pages) return E_POINTER;
    pages->cElems = static_cast<ULONG>(count);
    pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(count * sizeof(GUID)));
    if (!pages->pElems) return E_OUTOFMEMORY;
    for (std::size_t i = 0; i < count; ++i) pages->pElems[i] = g_ModelDescriptor.pageClsids[slots[i]];
    return S_OK;
}

}  // namespace vyx
