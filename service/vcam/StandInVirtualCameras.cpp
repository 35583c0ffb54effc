#include "StandInVirtualCameras.h"

#include "UniqueResource.h"
#include "VirtualCameraCommand.h"

#include <mfapi.h>
#include <wrl/client.h>

#include <string>

namespace vyx::vcam {

namespace {

LSTATUS OpenStandInKey(REGSAM access, win::UniqueRegKey& key)
{
    HKEY raw = nullptr;
    const LSTATUS status = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kStandInKey, 0, access | KEY_WOW64_64KEY, &raw);
    key.Reset(raw);
    return status;
}

// A camera as MFCreateVirtualCamera hands it out: settings until Start, the system's camera after.
class StandInCamera final : public IMFVirtualCamera {
public:
    StandInCamera(std::wstring sourceId, std::wstring entry, bool session, Microsoft::WRL::ComPtr<IMFAttributes> store)
        : m_sourceId(std::move(sourceId)), m_entry(std::move(entry)), m_session(session), m_store(std::move(store))
    {}

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IMFAttributes) || iid == IID_IMFVirtualCamera) {
            *object = static_cast<IMFVirtualCamera*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&m_references)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = ::InterlockedDecrement(&m_references);
        if (left == 0) {
            if (m_session && m_started) {
                Remove();
            }
            delete this;
        }
        return static_cast<ULONG>(left);
    }

    // IMFAttributes: the camera's own store.
    HRESULT STDMETHODCALLTYPE GetItem(REFGUID k, PROPVARIANT* v) override { return m_store->GetItem(k, v); }
    HRESULT STDMETHODCALLTYPE GetItemType(REFGUID k, MF_ATTRIBUTE_TYPE* t) override { return m_store->GetItemType(k, t); }
    HRESULT STDMETHODCALLTYPE CompareItem(REFGUID k, REFPROPVARIANT v, BOOL* r) override { return m_store->CompareItem(k, v, r); }
    HRESULT STDMETHODCALLTYPE Compare(IMFAttributes* a, MF_ATTRIBUTES_MATCH_TYPE m, BOOL* r) override { return m_store->Compare(a, m, r); }
    HRESULT STDMETHODCALLTYPE GetUINT32(REFGUID k, UINT32* v) override { return m_store->GetUINT32(k, v); }
    HRESULT STDMETHODCALLTYPE GetUINT64(REFGUID k, UINT64* v) override { return m_store->GetUINT64(k, v); }
    HRESULT STDMETHODCALLTYPE GetDouble(REFGUID k, double* v) override { return m_store->GetDouble(k, v); }
    HRESULT STDMETHODCALLTYPE GetGUID(REFGUID k, GUID* v) override { return m_store->GetGUID(k, v); }
    HRESULT STDMETHODCALLTYPE GetStringLength(REFGUID k, UINT32* n) override { return m_store->GetStringLength(k, n); }
    HRESULT STDMETHODCALLTYPE GetString(REFGUID k, LPWSTR s, UINT32 size, UINT32* n) override { return m_store->GetString(k, s, size, n); }
    HRESULT STDMETHODCALLTYPE GetAllocatedString(REFGUID k, LPWSTR* s, UINT32* n) override { return m_store->GetAllocatedString(k, s, n); }
    HRESULT STDMETHODCALLTYPE GetBlobSize(REFGUID k, UINT32* n) override { return m_store->GetBlobSize(k, n); }
    HRESULT STDMETHODCALLTYPE GetBlob(REFGUID k, UINT8* b, UINT32 size, UINT32* n) override { return m_store->GetBlob(k, b, size, n); }
    HRESULT STDMETHODCALLTYPE GetAllocatedBlob(REFGUID k, UINT8** b, UINT32* n) override { return m_store->GetAllocatedBlob(k, b, n); }
    HRESULT STDMETHODCALLTYPE GetUnknown(REFGUID k, REFIID i, LPVOID* p) override { return m_store->GetUnknown(k, i, p); }
    HRESULT STDMETHODCALLTYPE SetItem(REFGUID k, REFPROPVARIANT v) override { return m_store->SetItem(k, v); }
    HRESULT STDMETHODCALLTYPE DeleteItem(REFGUID k) override { return m_store->DeleteItem(k); }
    HRESULT STDMETHODCALLTYPE DeleteAllItems() override { return m_store->DeleteAllItems(); }
    HRESULT STDMETHODCALLTYPE SetUINT32(REFGUID k, UINT32 v) override { return m_store->SetUINT32(k, v); }
    HRESULT STDMETHODCALLTYPE SetUINT64(REFGUID k, UINT64 v) override { return m_store->SetUINT64(k, v); }
    HRESULT STDMETHODCALLTYPE SetDouble(REFGUID k, double v) override { return m_store->SetDouble(k, v); }
    HRESULT STDMETHODCALLTYPE SetGUID(REFGUID k, REFGUID v) override { return m_store->SetGUID(k, v); }
    HRESULT STDMETHODCALLTYPE SetString(REFGUID k, LPCWSTR v) override { return m_store->SetString(k, v); }
    HRESULT STDMETHODCALLTYPE SetBlob(REFGUID k, const UINT8* b, UINT32 n) override { return m_store->SetBlob(k, b, n); }
    HRESULT STDMETHODCALLTYPE SetUnknown(REFGUID k, IUnknown* u) override { return m_store->SetUnknown(k, u); }
    HRESULT STDMETHODCALLTYPE LockStore() override { return m_store->LockStore(); }
    HRESULT STDMETHODCALLTYPE UnlockStore() override { return m_store->UnlockStore(); }
    HRESULT STDMETHODCALLTYPE GetCount(UINT32* n) override { return m_store->GetCount(n); }
    HRESULT STDMETHODCALLTYPE GetItemByIndex(UINT32 i, GUID* k, PROPVARIANT* v) override { return m_store->GetItemByIndex(i, k, v); }
    HRESULT STDMETHODCALLTYPE CopyAllItems(IMFAttributes* to) override { return m_store->CopyAllItems(to); }

    // IMFVirtualCamera: what the helper calls behaves as documented; the rest is not offered.
    HRESULT STDMETHODCALLTYPE AddDeviceSourceInfo(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AddProperty(const void*, ULONG, const BYTE*, ULONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AddRegistryEntry(LPCWSTR, LPCWSTR, DWORD, const BYTE*, ULONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Start(IMFAsyncCallback*) override
    {
        win::UniqueRegKey key;
        LSTATUS status = OpenStandInKey(KEY_SET_VALUE, key);
        if (status == ERROR_SUCCESS) {
            status = ::RegSetValueExW(key.Get(), m_sourceId.c_str(), 0, REG_SZ,
                                      reinterpret_cast<const BYTE*>(m_entry.c_str()),
                                      static_cast<DWORD>((m_entry.size() + 1) * sizeof(wchar_t)));
        }
        m_started = status == ERROR_SUCCESS;
        return HRESULT_FROM_WIN32(status);
    }
    HRESULT STDMETHODCALLTYPE Stop() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Remove() override
    {
        win::UniqueRegKey key;
        LSTATUS status = OpenStandInKey(KEY_SET_VALUE, key);
        if (status == ERROR_SUCCESS) {
            status = ::RegDeleteValueW(key.Get(), m_sourceId.c_str());
        }
        m_started = false;
        return HRESULT_FROM_WIN32(status);
    }
    HRESULT STDMETHODCALLTYPE GetMediaSource(IMFMediaSource**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SendCameraProperty(REFGUID, ULONG, ULONG, void*, ULONG, void*, ULONG, ULONG*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CreateSyncEvent(REFGUID, ULONG, ULONG, HANDLE, IMFCameraSyncObject**) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CreateSyncSemaphore(REFGUID, ULONG, ULONG, HANDLE, LONG, IMFCameraSyncObject**) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Shutdown() override { return S_OK; }

private:
    ~StandInCamera() = default;

    LONG m_references = 1;
    const std::wstring m_sourceId;
    const std::wstring m_entry;
    const bool m_session;
    bool m_started = false;
    Microsoft::WRL::ComPtr<IMFAttributes> m_store;
};

}  // namespace

HRESULT STDAPICALLTYPE StandInCreateVirtualCamera(MFVirtualCameraType type, MFVirtualCameraLifetime lifetime,
                                                  MFVirtualCameraAccess access, LPCWSTR friendlyName,
                                                  LPCWSTR sourceId, const GUID* categories, ULONG categoryCount,
                                                  IMFVirtualCamera** camera)
{
    if (camera == nullptr || friendlyName == nullptr || sourceId == nullptr) {
        return E_POINTER;
    }
    *camera = nullptr;
    if (type != MFVirtualCameraType_SoftwareCameraSource || (categories == nullptr) != (categoryCount == 0)) {
        return E_INVALIDARG;
    }
    Microsoft::WRL::ComPtr<IMFAttributes> store;
    const HRESULT result = ::MFCreateAttributes(&store, 4);
    if (FAILED(result)) {
        return result;
    }
    std::wstring entry = std::wstring(friendlyName) + L";lifetime=" + std::to_wstring(static_cast<int>(lifetime)) +
                         L";access=" + std::to_wstring(static_cast<int>(access));
    *camera = new StandInCamera(sourceId, std::move(entry), lifetime == MFVirtualCameraLifetime_Session, store);
    return S_OK;
}

CreateVirtualCameraFn LookUpCreateVirtualCamera()
{
    win::UniqueRegKey key;
    return OpenStandInKey(KEY_QUERY_VALUE, key) == ERROR_SUCCESS ? StandInCreateVirtualCamera : nullptr;
}

}  // namespace vyx::vcam
