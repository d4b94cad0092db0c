#pragma once
// The type library that TypeLibModule.so hands out through DllGetTypeLib, described here once
// for the module and for the tests that read it back through the registry.
#include "platform/com/TypeDescription.h"

inline constexpr Guid LIBID_TestCamera = MakeGuid("{02AFC95D-82AC-4A50-93EA-2FA2547EFD64}");
inline constexpr IID DIID__DTestCamera = MakeGuid("{7E4ED11F-03DC-4B2F-AECC-132086619469}");
inline constexpr IID DIID__DTestCameraEvents = MakeGuid("{ADB01577-852C-42C8-A345-47C0E0B2E13D}");
inline constexpr CLSID CLSID_TestCamera = MakeGuid("{A80CD4E7-D226-4006-80F2-D761B5DD52A0}");

inline TypeLibDesc TestCameraTypeLib() {
    TypeLibDesc lib;
    lib.libid = LIBID_TestCamera;
    lib.majorVersion = 1;
    lib.minorVersion = 2;
    lib.lcid = 0;
    lib.name = "TESTCAMERALib";
    lib.helpString = "Test Camera Control";
    lib.helpFile = "TestCamera.hlp";

    InterfaceDesc control;
    control.iid = DIID__DTestCamera;
    control.name = "_DTestCamera";
    control.helpString = "Dispatch interface for Test Camera";
    control.funcs.push_back({1, "Device", INVOKE_PROPERTYGET, {}, TypeDesc(VT_I2)});
    control.funcs.push_back(
        {1, "Device", INVOKE_PROPERTYPUT, {ParamDesc("", TypeDesc(VT_I2))}, TypeDesc(VT_VOID)});
    control.funcs.push_back({78, "Start", INVOKE_FUNC, {}, TypeDesc(VT_I2)});
    control.funcs.push_back({80,
                             "SnapShot",
                             INVOKE_FUNC,
                             {ParamDesc("strFileName", TypeDesc(VT_BSTR))},
                             TypeDesc(VT_BOOL)});

    InterfaceDesc events;
    events.iid = DIID__DTestCameraEvents;
    events.name = "_DTestCameraEvents";
    events.funcs.push_back(
        {1,
         "Capturing",
         INVOKE_FUNC,
         {ParamDesc("lFrame", TypeDesc(VT_I4)), ParamDesc("lDropFrame", TypeDesc(VT_I4))},
         TypeDesc(VT_VOID)});

    CoclassDesc camera;
    camera.clsid = CLSID_TestCamera;
    camera.name = "TestCamera";
    camera.typeFlags = TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL;
    camera.interfaces = {{DIID__DTestCamera, IMPLTYPEFLAG_FDEFAULT},
                         {DIID__DTestCameraEvents, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE}};

    lib.interfaces = {control, events};
    lib.coclasses = {camera};
    return lib;
}
