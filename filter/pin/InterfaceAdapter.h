#pragma once
// One COM interface of the pin as a small object of its own, in the embedded style of the
// platform's base classes: it holds the pin, forwards IUnknown to the pin's, and so shares
// the pin's identity and counts on its filter. No class of the pin inherits a list of
// interfaces, and two interfaces with operations of the same name never clash.
#include <windows.h>
#include <unknwn.h>

namespace vyx {

template <class Interface>
class InterfaceAdapter : public Interface {
public:
    explicit InterfaceAdapter(IUnknown& owner) : m_owner(owner) {}
    InterfaceAdapter(const InterfaceAdapter&) = delete;
    InterfaceAdapter& operator=(const InterfaceAdapter&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** object) override { return m_owner.QueryInterface(riid, object); }
    STDMETHODIMP_(ULONG) AddRef() override { return m_owner.AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return m_owner.Release(); }

private:
    IUnknown& m_owner;
};

}  // namespace vyx
