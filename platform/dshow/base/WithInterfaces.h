#pragma once
// Adds interfaces to an implementation class that already answers some (a filter on ComObject, a
// pin on BasePin): `class Grabber : public WithInterfaces<BaseFilter, ISampleGrabber>`.
// QueryInterface, AddRef and Release stay those of `Base`; the extra interfaces (and their
// declared Bases) are answered through Base's QueryExtraInterface hook.
#include <utility>

#include "platform/com/ComObject.h"

template <class Base, class... Extra>
class WithInterfaces : public Base, public Extra... {
public:
    using Base::Base;

    HRESULT QueryInterface(REFIID riid, void** object) override { return Base::QueryInterface(riid, object); }
    ULONG AddRef() override { return Base::AddRef(); }
    ULONG Release() override { return Base::Release(); }

protected:
    ~WithInterfaces() override = default;

    void* QueryExtraInterface(REFIID riid) override {
        void* found = nullptr;
        ((found = found ? found : com_detail::Match<Extra>(static_cast<Extra*>(this), riid)), ...);
        return found ? found : Base::QueryExtraInterface(riid);
    }
};
