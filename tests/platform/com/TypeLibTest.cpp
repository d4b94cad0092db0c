#include <gtest/gtest.h>

#include "platform/com/TypeLib.h"
#include "tests/platform/com/modules/TypeLibModule.h"

namespace {
ComPtr<ITypeLib> TestLib() {
    ComPtr<ITypeLib> lib;
    EXPECT_EQ(CreateTypeLib(TestCameraTypeLib(), lib.ReleaseAndGetAddressOf()), S_OK);
    return lib;
}
}  // namespace

TEST(TypeLib, DescribesTheLibraryAndFindsTypesByGuid) {
    ComPtr<ITypeLib> lib = TestLib();
    ASSERT_TRUE(lib);
    TLIBATTR attr;
    ASSERT_EQ(lib->GetLibAttr(&attr), S_OK);
    EXPECT_EQ(attr.guid, LIBID_TestCamera);
    EXPECT_EQ(attr.wMajorVerNum, 1);
    EXPECT_EQ(attr.wMinorVerNum, 2);
    BSTR name;
    BSTR help;
    BSTR helpFile;
    ASSERT_EQ(lib->GetDocumentation(-1, &name, &help, nullptr, &helpFile), S_OK);
    EXPECT_EQ(name, "TESTCAMERALib");
    EXPECT_EQ(help, "Test Camera Control");
    EXPECT_EQ(helpFile, "TestCamera.hlp");

    // Interfaces first, then coclasses.
    ASSERT_EQ(lib->GetTypeInfoCount(), 3u);
    TYPEKIND kind;
    EXPECT_EQ(lib->GetTypeInfoType(0, &kind), S_OK);
    EXPECT_EQ(kind, TKIND_DISPATCH);
    EXPECT_EQ(lib->GetTypeInfoType(2, &kind), S_OK);
    EXPECT_EQ(kind, TKIND_COCLASS);
    EXPECT_EQ(lib->GetTypeInfoType(3, &kind), TYPE_E_ELEMENTNOTFOUND);
    ASSERT_EQ(lib->GetDocumentation(1, &name, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(name, "_DTestCameraEvents");

    ComPtr<ITypeInfo> info;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(DIID__DTestCamera, info.ReleaseAndGetAddressOf()), S_OK);
    TYPEATTR typeAttr;
    ASSERT_EQ(info->GetTypeAttr(&typeAttr), S_OK);
    EXPECT_EQ(typeAttr.guid, DIID__DTestCamera);
    EXPECT_EQ(typeAttr.cFuncs, 4);
    EXPECT_EQ(lib->GetTypeInfoOfGuid(GUID_NULL, info.ReleaseAndGetAddressOf()),
              TYPE_E_ELEMENTNOTFOUND);
    EXPECT_FALSE(info);
}

TEST(TypeLib, AContainerBindsMembersByNameFromTheLibraryAlone) {
    ComPtr<ITypeLib> lib = TestLib();
    // From the coclass to its default interface and its default source of events.
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(CLSID_TestCamera, coclass.ReleaseAndGetAddressOf()), S_OK);
    TYPEATTR attr;
    ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr.typekind, TKIND_COCLASS);
    ASSERT_EQ(attr.cImplTypes, 2);
    Guid defaultIid;
    Guid sourceIid;
    for (UINT i = 0; i < attr.cImplTypes; ++i) {
        INT flags = 0;
        HREFTYPE ref = 0;
        ASSERT_EQ(coclass->GetImplTypeFlags(i, &flags), S_OK);
        ASSERT_EQ(coclass->GetRefTypeOfImplType(i, &ref), S_OK);
        ComPtr<ITypeInfo> implemented;
        ASSERT_EQ(coclass->GetRefTypeInfo(ref, implemented.ReleaseAndGetAddressOf()), S_OK);
        TYPEATTR implAttr;
        implemented->GetTypeAttr(&implAttr);
        if (flags == IMPLTYPEFLAG_FDEFAULT) defaultIid = implAttr.guid;
        if (flags == (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE)) sourceIid = implAttr.guid;
    }
    EXPECT_EQ(defaultIid, DIID__DTestCamera);
    EXPECT_EQ(sourceIid, DIID__DTestCameraEvents);
    INT flags = 0;
    EXPECT_EQ(coclass->GetImplTypeFlags(2, &flags), TYPE_E_ELEMENTNOTFOUND);

    ComPtr<ITypeInfo> control;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(defaultIid, control.ReleaseAndGetAddressOf()), S_OK);
    const char* names[] = {"snapshot", "STRFILENAME"};
    MEMBERID ids[2] = {};
    ASSERT_EQ(control->GetIDsOfNames(names, 2, ids), S_OK);
    EXPECT_EQ(ids[0], 80);
    EXPECT_EQ(ids[1], 0);
    const char* unknown[] = {"Record"};
    EXPECT_EQ(control->GetIDsOfNames(unknown, 1, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], DISPID_UNKNOWN);

    // The kind of each member: Device is a property with a get and a put, Start a method.
    bool deviceGet = false;
    bool devicePut = false;
    bool startMethod = false;
    FuncDesc f;
    for (UINT i = 0; SUCCEEDED(control->GetFuncDesc(i, &f)); ++i) {
        deviceGet =
            deviceGet || (f.memid == 1 && f.invkind == INVOKE_PROPERTYGET && f.result.vt == VT_I2);
        devicePut = devicePut || (f.memid == 1 && f.invkind == INVOKE_PROPERTYPUT);
        startMethod =
            startMethod || (f.memid == 78 && f.invkind == INVOKE_FUNC && f.result.vt == VT_I2);
    }
    EXPECT_TRUE(deviceGet && devicePut && startMethod);

    // Names of a member: the get describes a property; a put's value has no name.
    BSTR memberNames[3];
    UINT count = 0;
    ASSERT_EQ(control->GetNames(1, memberNames, 3, &count), S_OK);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(memberNames[0], "Device");
    ASSERT_EQ(control->GetNames(80, memberNames, 1, &count), S_OK);
    EXPECT_EQ(count, 1u);  // no room for the parameter's name
    EXPECT_EQ(control->GetNames(555, memberNames, 3, &count), TYPE_E_ELEMENTNOTFOUND);

    ComPtr<ITypeLib> containing;
    UINT index = 99;
    ASSERT_EQ(control->GetContainingTypeLib(containing.ReleaseAndGetAddressOf(), &index), S_OK);
    EXPECT_EQ(index, 0u);
    TLIBATTR libAttr;
    containing->GetLibAttr(&libAttr);
    EXPECT_EQ(libAttr.guid, LIBID_TestCamera);
}

TEST(TypeLib, FindNameReturnsTypesAndMembers) {
    ComPtr<ITypeLib> lib = TestLib();
    BOOL found = FALSE;
    EXPECT_EQ(lib->IsName("capturing", &found), S_OK);
    EXPECT_TRUE(found);
    EXPECT_EQ(lib->IsName("Record", &found), S_OK);
    EXPECT_FALSE(found);

    ITypeInfo* infos[4] = {};
    MEMBERID ids[4] = {};
    USHORT capacity = 4;
    ASSERT_EQ(lib->FindName("device", infos, ids, &capacity), S_OK);
    ASSERT_EQ(capacity, 1);  // the get and the put are one member
    EXPECT_EQ(ids[0], 1);
    infos[0]->Release();

    capacity = 4;
    ASSERT_EQ(lib->FindName("TestCamera", infos, ids, &capacity), S_OK);
    ASSERT_EQ(capacity, 1);
    EXPECT_EQ(ids[0], MEMBERID_NIL);
    TYPEATTR attr;
    infos[0]->GetTypeAttr(&attr);
    EXPECT_EQ(attr.guid, CLSID_TestCamera);
    infos[0]->Release();

    capacity = 0;
    EXPECT_EQ(lib->FindName("Start", nullptr, nullptr, &capacity), S_OK);
    EXPECT_EQ(capacity, 0);
}

TEST(TypeLib, InconsistentDescriptionsAreRefused) {
    ComPtr<ITypeLib> lib;
    TypeLibDesc danglingCoclass = TestCameraTypeLib();
    danglingCoclass.interfaces.pop_back();  // the coclass still names the event interface
    EXPECT_EQ(CreateTypeLib(danglingCoclass, lib.ReleaseAndGetAddressOf()), E_INVALIDARG);
    TypeLibDesc twice = TestCameraTypeLib();
    twice.interfaces.push_back(twice.interfaces.front());
    EXPECT_EQ(CreateTypeLib(twice, lib.ReleaseAndGetAddressOf()), E_INVALIDARG);
    TypeLibDesc nullGuid = TestCameraTypeLib();
    nullGuid.coclasses.front().clsid = GUID_NULL;
    EXPECT_EQ(CreateTypeLib(nullGuid, lib.ReleaseAndGetAddressOf()), E_INVALIDARG);
    EXPECT_FALSE(lib);
}
