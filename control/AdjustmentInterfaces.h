#pragma once
// The dispatch interfaces of the seventeen picture and camera adjustment objects. They add no
// slots to IDispatch (every member is reached by DISPID); each has its own IID so that a container
// can tell them apart and the type library can describe each.
#include "platform/com/Dispatch.h"

struct IBrightness : IDispatch {
    using Base = IDispatch;
    static constexpr IID iid = MakeGuid("{1BB82659-90B0-4BA5-BF26-3D5CCDDF985D}");

protected:
    ~IBrightness() = default;
};

struct IContrast : IDispatch {
    using Base = IDispatch;
    static constexpr IID iid = MakeGuid("{C170A41C-6C20-4DB5-BACF-EAD3D4BDD0A6}");

protected:
    ~IContrast() = default;
};

struct IHue : IDispatch {
    using Base = IDispatch;
    static constexpr IID iid = MakeGuid("{10615B1E-0619-44AD-AAFD-76D81BDCE929}");

protected:
    ~IHue() = default;
};

struct ISaturation : IDispatch {
    using Base = IDispatch;
    static constexpr IID iid = MakeGuid("{A3B1776D-CBF2-4D81-B508-A927A15146BE}");

protected:
    ~ISaturation() = default;
};

struct ISharpness : IDispatch {
    using Base = IDispatch;
    static constexpr IID iid = MakeGuid("{CBBB6E85-3FE6-4B3B-92EB-06BFC9BAFC2E}");

protected:
    ~ISharpness() = default;
};

struct IGamma : IDispatch {
    using Base = IDispatch;
    static constexpr IID iid = MakeGuid("{1EAB837B-0490-4326-B23C-61A84BB7FFBE}");

protected:
    ~IGamma() = default;
};

struct IColorEnable : IDispatch {
    using Base = IDispatch;
    static constexpr IID iid = MakeGuid("{52C14507-2525-490C-8A53-E07EFE3183B0}");

protected:
    ~IColorEnable() = default;
};

struct IWhiteBalance : IDispatch {
    using Base = IDispatch;
    static constexpr IID iid = MakeGuid("{2FA52E2E-E17A-4160-B6EA-C889249999BE}");

protected:
    ~IWhiteBalance() = default;
};

struct IBacklightCompensation : IDispatch {
    using Base = IDispatch;
    static constexpr IID iid = MakeGuid("{020E3D58-1143-4B24-9418-DA245FDF4530}");

protected:
    ~IBacklightCompensation() = default;
};

struct IGain : IDispatch {
    using Base = IDispatch;
    static constexpr IID iid = MakeGuid("{06582E8A-0EFD-46CC-9885-7680A438B778}");

protected:
    ~IGain() = default;
};

struct IPan : IDispatch {
    using Base = IDispatch;
    static constexpr IID iid = MakeGuid("{C4C0A047-467D-4685-AC3F-D4BE52C9D2FA}");

protected:
    ~IPan() = default;
};

struct ITilt : IDispatch {
    using Base = IDispatch;
    static constexpr IID iid = MakeGuid("{0B8546C0-B84E-4B00-9463-DC1880661546}");

protected:
    ~ITilt() = default;
};

struct IRoll : IDispatch {
    using Base = IDispatch;
    static constexpr IID iid = MakeGuid("{C9D5CEED-68BE-40AB-89F2-0D38CD0B0660}");

protected:
    ~IRoll() = default;
};

struct IZoom : IDispatch {
    using Base = IDispatch;
    static constexpr IID iid = MakeGuid("{7E982E10-F1C0-4107-998B-59519710376E}");

protected:
    ~IZoom() = default;
};

struct IExposure : IDispatch {
    using Base = IDispatch;
    static constexpr IID iid = MakeGuid("{16BE651B-7453-4112-A2D7-F2A6D5F50F0A}");

protected:
    ~IExposure() = default;
};

struct IIris : IDispatch {
    using Base = IDispatch;
    static constexpr IID iid = MakeGuid("{095BDAE6-D5FE-44E0-ACEB-F7ED47B60796}");

protected:
    ~IIris() = default;
};

struct IFocus : IDispatch {
    using Base = IDispatch;
    static constexpr IID iid = MakeGuid("{41AF3A64-ACB2-4906-A9C4-07D7BA638A6A}");

protected:
    ~IFocus() = default;
};
