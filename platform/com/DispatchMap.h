#pragma once
// A declarative dispatch map: a class lists each member once, with its DISPID, name, kind, the
// names and types of its parameters, its result type, its flags and its handler (a member
// function pointer or a lambda taking T& first). Types come from the handler's C++ signature and
// may be overridden where the automation type says more (a BOOL that is an int32_t, a colour):
//
//   const DispatchTable& Camera::GetDispatchTable() {
//       static const DispatchTable table = [] {
//           DispatchMap<Camera> map(_DCamera::iid, "_DCamera");
//           map.Property(1, "Device", &Camera::GetDevice, &Camera::SetDevice);
//           map.Property(6, "CaptureMode", &Camera::GetCaptureMode, &Camera::SetCaptureMode)
//               .Type(VT_BOOL);
//           map.Property(3, "Devices", &Camera::GetDevices);  // no setter: read-only
//           map.Method(87, "SnapShotJPEG", &Camera::SnapShotJPEG)
//               .Params({"strFileName", "iJPEGQuality"})
//               .Type(VT_BOOL);
//           map.Method(-552, "AboutBox", [](Camera& c) { c.ShowAbout(); });
//           return map.Build();
//       }();
//       return table;
//   }
//
// C++ types and their automation types: bool VT_BOOL; integers by width and sign (int16_t VT_I2,
// int32_t VT_I4, uint32_t VT_UI4, ...); float VT_R4; double VT_R8; std::string, std::string_view,
// const char* VT_BSTR; CY VT_CY; Variant VT_VARIANT (passed unconverted); IDispatch*,
// ComPtr<I> with I an IDispatch VT_DISPATCH; IUnknown*, other ComPtr<I> VT_UNKNOWN; void VT_VOID.
// Raw interface pointers are borrowed both ways: a handler returning one keeps its own
// reference, the result variant takes another.
//
// A parameter declared VT_BOOL reaches a 16-bit handler parameter as VARIANT_TRUE (-1) and any
// other integer as TRUE (1); integers of the same width reach each other bit for bit.
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/com/DispatchException.h"
#include "platform/com/DispatchTable.h"
#include "platform/com/VariantConvert.h"

// A parameter's name and, where the handler's C++ type does not say it, its automation type and
// the value it takes when omitted.
struct ParamSpec {
    ParamSpec(const char* name) : name(name) {}
    ParamSpec(std::string name) : name(std::move(name)) {}
    ParamSpec(std::string name, TypeDesc type) : name(std::move(name)), type(std::move(type)) {}
    ParamSpec(std::string name, TypeDesc type, Variant defaultValue)
        : name(std::move(name)), type(std::move(type)), defaultValue(std::move(defaultValue)) {}
    // An optional parameter without default; the handler sees the missing marker
    // (Variant::IsMissing) when it is left out.
    static ParamSpec Optional(std::string name) {
        ParamSpec param(std::move(name), TypeDesc(VT_VARIANT));
        param.optional = true;
        return param;
    }

    std::string name;
    std::optional<TypeDesc> type;
    std::optional<Variant> defaultValue;
    bool optional = false;
};

namespace dispatch_detail {

template <class... A>
struct TypeList {};

template <class L>
struct DropFirst;
template <class First, class... Rest>
struct DropFirst<TypeList<First, Rest...>> {
    using type = TypeList<Rest...>;
};

template <class F>
struct Signature;
template <class C, class R, class... A>
struct Signature<R (C::*)(A...)> {
    using Result = R;
    using Args = TypeList<A...>;
};
template <class C, class R, class... A>
struct Signature<R (C::*)(A...) const> : Signature<R (C::*)(A...)> {};
template <class C, class R, class... A>
struct Signature<R (C::*)(A...) noexcept> : Signature<R (C::*)(A...)> {};
template <class C, class R, class... A>
struct Signature<R (C::*)(A...) const noexcept> : Signature<R (C::*)(A...)> {};
template <class R, class... A>
struct Signature<R (*)(A...)> {
    using Result = R;
    using Args = TypeList<A...>;
};

// The result and the automation-visible parameters of a handler: a member function's own
// parameters, or those of a lambda or function after its leading T&.
template <class F, int Kind = std::is_member_function_pointer_v<F> ? 0
                              : std::is_pointer_v<F>               ? 1
                                                                   : 2>
struct HandlerSignature;
template <class F>
struct HandlerSignature<F, 0> : Signature<F> {};
template <class F>
struct HandlerSignature<F, 1> {
    using Result = typename Signature<F>::Result;
    using Args = typename DropFirst<typename Signature<F>::Args>::type;
};
template <class F>
struct HandlerSignature<F, 2> {
    using Result = typename Signature<decltype(&F::operator())>::Result;
    using Args = typename DropFirst<typename Signature<decltype(&F::operator())>::Args>::type;
};

template <class T>
struct ComPtrTraits : std::false_type {};
template <class U>
struct ComPtrTraits<ComPtr<U>> : std::true_type {
    using Interface = U;
};

template <size_t Bytes, bool Signed>
struct FixedInt;
template <>
struct FixedInt<1, true> {
    using type = int8_t;
};
template <>
struct FixedInt<1, false> {
    using type = uint8_t;
};
template <>
struct FixedInt<2, true> {
    using type = int16_t;
};
template <>
struct FixedInt<2, false> {
    using type = uint16_t;
};
template <>
struct FixedInt<4, true> {
    using type = int32_t;
};
template <>
struct FixedInt<4, false> {
    using type = uint32_t;
};
template <>
struct FixedInt<8, true> {
    using type = int64_t;
};
template <>
struct FixedInt<8, false> {
    using type = uint64_t;
};

template <class D>
constexpr bool IsText = std::is_same_v<D, std::string> || std::is_same_v<D, std::string_view> ||
                        std::is_same_v<D, const char*>;

template <class U>
constexpr VARTYPE InterfaceVarType() {
    static_assert(std::is_base_of_v<IUnknown, U>,
                  "only interface pointers travel as automation objects");
    return std::is_base_of_v<IDispatch, U> ? VT_DISPATCH : VT_UNKNOWN;
}

template <class A>
constexpr VARTYPE NaturalVarType() {
    using D = std::remove_cvref_t<A>;
    if constexpr (std::is_void_v<D>) {
        return VT_VOID;
    } else if constexpr (std::is_same_v<D, bool>) {
        return VT_BOOL;
    } else if constexpr (std::is_integral_v<D>) {
        constexpr bool s = std::is_signed_v<D>;
        if constexpr (sizeof(D) == 1) return s ? VT_I1 : VT_UI1;
        if constexpr (sizeof(D) == 2) return s ? VT_I2 : VT_UI2;
        if constexpr (sizeof(D) == 4) return s ? VT_I4 : VT_UI4;
        return s ? VT_I8 : VT_UI8;
    } else if constexpr (std::is_same_v<D, float>) {
        return VT_R4;
    } else if constexpr (std::is_same_v<D, double>) {
        return VT_R8;
    } else if constexpr (IsText<D>) {
        return VT_BSTR;
    } else if constexpr (std::is_same_v<D, CY>) {
        return VT_CY;
    } else if constexpr (std::is_same_v<D, Variant>) {
        return VT_VARIANT;
    } else if constexpr (std::is_pointer_v<D>) {
        return InterfaceVarType<std::remove_cv_t<std::remove_pointer_t<D>>>();
    } else if constexpr (ComPtrTraits<D>::value) {
        return InterfaceVarType<typename ComPtrTraits<D>::Interface>();
    } else {
        static_assert(sizeof(D) == 0, "this C++ type has no automation form");
    }
}

inline Variant Converted(const Variant& value, VARTYPE type) {
    Variant out;
    HRESULT hr = VariantChangeType(&out, &value, 0, type);
    if (FAILED(hr)) throw DispatchError(hr);
    return out;
}

// The handler's view of an argument that already has its declared type.
template <class A>
decltype(auto) Extract(Variant& v) {
    using D = std::remove_cvref_t<A>;
    if constexpr (std::is_same_v<D, Variant>) {
        return static_cast<Variant&>(v);
    } else if constexpr (std::is_same_v<D, bool>) {
        return v.Type() == VT_BOOL ? v.Bool() != 0 : Converted(v, VT_BOOL).Bool() != 0;
    } else if constexpr (std::is_integral_v<D>) {
        if (v.Type() == VT_BOOL) {
            constexpr D set =
                sizeof(D) == 2 && std::is_signed_v<D> ? static_cast<D>(-1) : static_cast<D>(1);
            return v.Bool() ? set : static_cast<D>(0);
        }
        int64_t bits = 0;
        if (!v.GetInteger(&bits)) Converted(v, NaturalVarType<D>()).GetInteger(&bits);
        return static_cast<D>(bits);
    } else if constexpr (std::is_floating_point_v<D>) {
        if (v.Type() == VT_R4) return static_cast<D>(v.R4());
        if (v.Type() == VT_R8) return static_cast<D>(v.R8());
        return static_cast<D>(Converted(v, VT_R8).R8());
    } else if constexpr (std::is_same_v<D, std::string> || std::is_same_v<D, std::string_view>) {
        if (v.Type() != VT_BSTR) v = Converted(v, VT_BSTR);
        return static_cast<const std::string&>(v.Bstr());
    } else if constexpr (std::is_same_v<D, const char*>) {
        if (v.Type() != VT_BSTR) v = Converted(v, VT_BSTR);
        return v.Bstr().c_str();
    } else if constexpr (std::is_same_v<D, CY>) {
        return v.Type() == VT_CY ? v.Cy() : Converted(v, VT_CY).Cy();
    } else if constexpr (std::is_pointer_v<D>) {
        using U = std::remove_cv_t<std::remove_pointer_t<D>>;
        static_assert(
            std::is_same_v<U, IDispatch> || std::is_same_v<U, IUnknown>,
            "raw interface parameters are IDispatch* or IUnknown*; use ComPtr<I> for others");
        if constexpr (std::is_same_v<U, IDispatch>) {
            if (v.Type() != VT_DISPATCH) v = Converted(v, VT_DISPATCH);
            return v.Dispatch();
        } else {
            if (v.Type() != VT_DISPATCH && v.Type() != VT_UNKNOWN) v = Converted(v, VT_UNKNOWN);
            return v.Unknown();
        }
    } else if constexpr (ComPtrTraits<D>::value) {
        using U = typename ComPtrTraits<D>::Interface;
        if (v.Type() != VT_DISPATCH && v.Type() != VT_UNKNOWN) v = Converted(v, VT_UNKNOWN);
        if (!v.Unknown()) return D();
        D typed = QueryAs<U>(v.Unknown());
        if (!typed) throw DispatchError(DISP_E_TYPEMISMATCH);
        return typed;
    } else {
        static_assert(sizeof(D) == 0, "this C++ type has no automation form");
    }
}

template <class R>
Variant ToVariant(R&& value) {
    using D = std::remove_cvref_t<R>;
    if constexpr (std::is_same_v<D, Variant>) {
        return std::forward<R>(value);
    } else if constexpr (std::is_same_v<D, bool>) {
        return Variant(static_cast<bool>(value));
    } else if constexpr (std::is_integral_v<D>) {
        return Variant(static_cast<typename FixedInt<sizeof(D), std::is_signed_v<D>>::type>(value));
    } else if constexpr (std::is_floating_point_v<D>) {
        if constexpr (std::is_same_v<D, float>) return Variant(value);
        return Variant(static_cast<double>(value));
    } else if constexpr (std::is_same_v<D, std::string> || std::is_same_v<D, std::string_view>) {
        return Variant(std::string(value));
    } else if constexpr (std::is_same_v<D, const char*> || std::is_same_v<D, char*>) {
        return Variant(static_cast<const char*>(value));
    } else if constexpr (std::is_same_v<D, CY>) {
        return Variant::MakeCurrency(value);
    } else if constexpr (std::is_pointer_v<D>) {
        using U = std::remove_cv_t<std::remove_pointer_t<D>>;
        if constexpr (InterfaceVarType<U>() == VT_DISPATCH) {
            return Variant::MakeDispatch(static_cast<IDispatch*>(value));
        } else {
            return Variant::MakeUnknown(static_cast<IUnknown*>(value));
        }
    } else if constexpr (ComPtrTraits<D>::value) {
        return ToVariant(value.Get());
    } else {
        static_assert(sizeof(D) == 0, "this C++ type has no automation form");
    }
}

template <class... A>
std::vector<ParamDesc> NaturalParams(TypeList<A...>) {
    return {ParamDesc{"", TypeDesc(NaturalVarType<A>())}...};
}

template <class T, class R, class F, class... A, size_t... I>
DispatchHandler Bind(F handler, TypeList<A...>, std::index_sequence<I...>) {
    return [handler](void* self, std::vector<Variant>& args, Variant* result) {
        if (args.size() < sizeof...(A)) throw DispatchError(DISP_E_BADPARAMCOUNT);
        T& object = *static_cast<T*>(self);
        if constexpr (std::is_void_v<R>) {
            std::invoke(handler, object, Extract<A>(args[I])...);
            (void)result;
        } else {
            *result = ToVariant(std::invoke(handler, object, Extract<A>(args[I])...));
        }
    };
}

template <class T, class F>
DispatchHandler BindHandler(F handler) {
    using Sig = HandlerSignature<F>;
    return [&]<class... A>(TypeList<A...> args) {
        return Bind<T, typename Sig::Result>(std::move(handler), args,
                                             std::index_sequence_for<A...>{});
    }(typename Sig::Args{});
}

template <class F>
constexpr size_t ArgCount() {
    return []<class... A>(TypeList<A...>) {
        return sizeof...(A);
    }(typename HandlerSignature<F>::Args{});
}

}  // namespace dispatch_detail

template <class T>
class DispatchMap {
public:
    // Adjusts the member just added.
    class MemberRef {
    public:
        // One ParamSpec per parameter (a property's index parameters), in order.
        MemberRef& Params(std::initializer_list<ParamSpec> declared) {
            DispatchMember& m = Member();
            if (declared.size() != m.params.size()) {
                throw std::logic_error("parameter list does not match the handler: " + m.name);
            }
            size_t i = 0;
            for (const ParamSpec& given : declared) {
                ParamDesc& p = m.params[i++];
                p.name = given.name;
                if (given.type) p.type = *given.type;
                if (given.defaultValue) {
                    p.defaultValue = given.defaultValue;
                    p.flags |= PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT;
                }
                if (given.optional) p.flags |= PARAMFLAG_FOPT;
            }
            return *this;
        }
        // A method's result type, or a property's type.
        MemberRef& Type(TypeDesc type) {
            Member().type = std::move(type);
            return *this;
        }
        MemberRef& Flags(uint32_t flags) {
            Member().flags |= flags;
            return *this;
        }
        MemberRef& Restricted() { return Flags(kMemberRestricted); }
        MemberRef& Hidden() { return Flags(kMemberHidden); }
        MemberRef& Default() { return Flags(kMemberDefault); }
        MemberRef& ReadOnly() { return Flags(kMemberReadOnly); }
        MemberRef& Help(std::string text) {
            Member().helpString = std::move(text);
            return *this;
        }

    private:
        friend class DispatchMap;
        MemberRef(DispatchMap& map, size_t index) : map_(map), index_(index) {}
        DispatchMember& Member() { return map_.members_[index_]; }

        DispatchMap& map_;
        size_t index_;
    };

    DispatchMap(IID iid, std::string name, std::string helpString = {})
        : iid_(iid), name_(std::move(name)), helpString_(std::move(helpString)) {}

    template <class F>
    MemberRef Method(DISPID dispid, std::string name, F handler) {
        using Sig = dispatch_detail::HandlerSignature<F>;
        DispatchMember m;
        m.dispid = dispid;
        m.name = std::move(name);
        m.kind = MemberKind::Method;
        m.type = TypeDesc(dispatch_detail::NaturalVarType<typename Sig::Result>());
        m.params = dispatch_detail::NaturalParams(typename Sig::Args{});
        m.invoke = dispatch_detail::BindHandler<T>(std::move(handler));
        return Push(std::move(m));
    }

    // A read-only property.
    template <class G>
    MemberRef Property(DISPID dispid, std::string name, G getter) {
        using Sig = dispatch_detail::HandlerSignature<G>;
        static_assert(!std::is_void_v<typename Sig::Result>, "a property getter returns its value");
        DispatchMember m;
        m.dispid = dispid;
        m.name = std::move(name);
        m.kind = MemberKind::Property;
        m.type = TypeDesc(dispatch_detail::NaturalVarType<typename Sig::Result>());
        m.params = dispatch_detail::NaturalParams(typename Sig::Args{});
        m.invoke = dispatch_detail::BindHandler<T>(std::move(getter));
        return Push(std::move(m));
    }

    // A read/write property: the setter takes the getter's parameters and then the new value.
    template <class G, class S>
    MemberRef Property(DISPID dispid, std::string name, G getter, S setter) {
        static_assert(dispatch_detail::ArgCount<S>() == dispatch_detail::ArgCount<G>() + 1,
                      "a property setter takes the getter's parameters and the new value");
        MemberRef ref = Property(dispid, std::move(name), std::move(getter));
        members_.back().put = dispatch_detail::BindHandler<T>(std::move(setter));
        return ref;
    }

    // Throws std::logic_error when two members share a DISPID or a name.
    DispatchTable Build() const {
        DispatchTable table(iid_, name_, helpString_);
        for (const DispatchMember& m : members_) table.Add(m);
        return table;
    }

private:
    MemberRef Push(DispatchMember m) {
        members_.push_back(std::move(m));
        return MemberRef(*this, members_.size() - 1);
    }

    IID iid_;
    std::string name_;
    std::string helpString_;
    std::vector<DispatchMember> members_;
};
