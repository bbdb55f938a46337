// A COM enumerator over a copy of a list (IEnumConnections, IEnumConnectionPoints): what is
// connected or disconnected after it was made does not change it.
#pragma once

#include <windows.h>

#include <ocidl.h>

#include <atomic>
#include <new>
#include <vector>

namespace rilo::com {

inline IUnknown* HeldInterface(const CONNECTDATA& item) { return item.pUnk; }
inline IUnknown* HeldInterface(IConnectionPoint* item) { return item; }

template <class Interface, class Item>
class Enumerator final : public Interface {
 public:
  /// Takes a reference on every item for as long as the enumerator lives.
  explicit Enumerator(std::vector<Item> items, std::size_t position = 0)
      : items_(std::move(items)), position_(position) {
    for (const Item& item : items_) HeldInterface(item)->AddRef();
  }

  static HRESULT Create(std::vector<Item> items, Interface** out) {
    if (out == nullptr) return E_POINTER;
    *out = new (std::nothrow) Enumerator(std::move(items));
    return *out ? S_OK : E_OUTOFMEMORY;
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == __uuidof(Interface)) {
      *out = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE Next(ULONG count, Item* out, ULONG* fetched) override {
    if (out == nullptr || (count > 1 && fetched == nullptr)) return E_POINTER;
    ULONG n = 0;
    for (; n < count && position_ < items_.size(); ++n, ++position_) {
      out[n] = items_[position_];
      HeldInterface(out[n])->AddRef();  // the caller's reference
    }
    if (fetched != nullptr) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    const std::size_t left = items_.size() - position_;
    position_ += count < left ? count : left;
    return count <= left ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    position_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(Interface** out) override {
    if (out == nullptr) return E_POINTER;
    *out = new (std::nothrow) Enumerator(items_, position_);
    return *out ? S_OK : E_OUTOFMEMORY;
  }

 private:
  ~Enumerator() {
    for (const Item& item : items_) HeldInterface(item)->Release();
  }

  std::atomic<ULONG> refs_{1};
  std::vector<Item> items_;
  std::size_t position_;
};

}  // namespace rilo::com
