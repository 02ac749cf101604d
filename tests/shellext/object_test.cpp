#include "test_support.h"

#include "gorsemere_idl.h"

#include <shlobj.h>

#include <gtest/gtest.h>

namespace {

class ComObject : public testing::Test {
protected:
    void SetUp() override {
        EnsureRegistered();
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_GorsemereContextMenu, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IUnknown, reinterpret_cast<void**>(&m_object)));
    }
    void TearDown() override {
        if (m_object) m_object->Release();
    }
    IUnknown* m_object = nullptr;
};

TEST_F(ComObject, AnswersItsInterfacesWithOneIdentity) {
    struct Case {
        const IID* iid;
        HRESULT expected;
    } cases[] = {
        {&IID_IGorsemereContextMenu, S_OK},
        {&IID_IDispatch, S_OK},
        {&IID_IShellExtInit, S_OK},
        {&IID_IContextMenu, S_OK},
        {&IID_IUnknown, S_OK},
        {&IID_IContextMenu2, E_NOINTERFACE},
        {&IID_IClassFactory, E_NOINTERFACE},
        {&IID_IPersist, E_NOINTERFACE},
    };
    for (const Case& c : cases) {
        IUnknown* iface = reinterpret_cast<IUnknown*>(1);
        const HRESULT hr = m_object->QueryInterface(*c.iid, reinterpret_cast<void**>(&iface));
        EXPECT_EQ(c.expected, hr);
        if (FAILED(hr)) {
            EXPECT_EQ(nullptr, iface);
            continue;
        }
        IUnknown* identity = nullptr;
        ASSERT_EQ(S_OK, iface->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)));
        EXPECT_EQ(m_object, identity);
        identity->Release();
        iface->Release();
    }
    // IDispatch is the dual interface's own dispatch part.
    IGorsemereContextMenu* dual = nullptr;
    IDispatch* dispatch = nullptr;
    ASSERT_EQ(S_OK, m_object->QueryInterface(IID_IGorsemereContextMenu, reinterpret_cast<void**>(&dual)));
    ASSERT_EQ(S_OK, m_object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)));
    EXPECT_EQ(static_cast<IDispatch*>(dual), dispatch);
    dispatch->Release();
    dual->Release();
}

TEST_F(ComObject, DispatchWorksThroughTheRegisteredTypeLibrary) {
    IDispatch* dispatch = nullptr;
    ASSERT_EQ(S_OK, m_object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)));
    UINT count = 0;
    EXPECT_EQ(S_OK, dispatch->GetTypeInfoCount(&count));
    EXPECT_EQ(1u, count);

    ITypeInfo* info = nullptr;
    EXPECT_EQ(DISP_E_BADINDEX, dispatch->GetTypeInfo(1, 0, &info));
    ASSERT_EQ(S_OK, dispatch->GetTypeInfo(0, 0, &info));
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(S_OK, info->GetTypeAttr(&attr));
    EXPECT_TRUE(IsEqualGUID(attr->guid, IID_IGorsemereContextMenu));
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FDUAL);
    info->ReleaseTypeAttr(attr);
    BSTR name = nullptr, help = nullptr;
    ASSERT_EQ(S_OK, info->GetDocumentation(MEMBERID_NIL, &name, &help, nullptr, nullptr));
    EXPECT_STREQ(L"IGorsemereContextMenu", name);
    EXPECT_STREQ(L"IGorsemereContextMenu Interface", help);
    SysFreeString(name);
    SysFreeString(help);

    ITypeLib* library = nullptr;
    UINT index = 0;
    ASSERT_EQ(S_OK, info->GetContainingTypeLib(&library, &index));
    TLIBATTR* libAttr = nullptr;
    ASSERT_EQ(S_OK, library->GetLibAttr(&libAttr));
    EXPECT_TRUE(IsEqualGUID(libAttr->guid, LIBID_GORSEMERELib));
    EXPECT_EQ(1, libAttr->wMajorVerNum);
    EXPECT_EQ(0, libAttr->wMinorVerNum);
    library->ReleaseTLibAttr(libAttr);
    ITypeInfo* coclass = nullptr;
    ASSERT_EQ(S_OK, library->GetTypeInfoOfGuid(CLSID_GorsemereContextMenu, &coclass));
    coclass->Release();
    library->Release();
    info->Release();

    // A second request is served from the cache with the same information.
    ITypeInfo* again = nullptr;
    ASSERT_EQ(S_OK, dispatch->GetTypeInfo(0, 0, &again));
    again->Release();

    // No members: names are unknown and invocations find nothing.
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Convert")};
    DISPID id = 0;
    EXPECT_EQ(DISP_E_UNKNOWNNAME, dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id));
    DISPPARAMS none = {};
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND,
              dispatch->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr));
    EXPECT_EQ(DISP_E_UNKNOWNINTERFACE,
              dispatch->Invoke(1, IID_IUnknown, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr));
    dispatch->Release();
}

// An outer object that counts the references its inner one passes on.
class COuter : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualIID(riid, IID_IUnknown)) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        return m_inner ? m_inner->QueryInterface(riid, ppv) : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
    STDMETHODIMP_(ULONG) Release() override { return --m_refs; }
    IUnknown* m_inner = nullptr;
    ULONG m_refs = 1;
};

TEST(Aggregation, InnerObjectDelegatesToItsOuterObject) {
    EnsureRegistered();
    COuter outer;
    IUnknown* refused = reinterpret_cast<IUnknown*>(1);
    EXPECT_EQ(CLASS_E_NOAGGREGATION,
              CoCreateInstance(CLSID_GorsemereContextMenu, &outer, CLSCTX_INPROC_SERVER, IID_IContextMenu,
                               reinterpret_cast<void**>(&refused)));
    EXPECT_EQ(nullptr, refused);

    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_GorsemereContextMenu, &outer, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                     reinterpret_cast<void**>(&outer.m_inner)));
    EXPECT_EQ(1u, outer.m_refs);
    IContextMenu* menu = nullptr;
    ASSERT_EQ(S_OK, outer.m_inner->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu)));
    EXPECT_EQ(2u, outer.m_refs) << "the inner object's interfaces count on the outer object";
    IUnknown* identity = nullptr;
    ASSERT_EQ(S_OK, menu->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)));
    EXPECT_EQ(static_cast<IUnknown*>(&outer), identity);
    identity->Release();
    menu->Release();
    EXPECT_EQ(1u, outer.m_refs);
    EXPECT_EQ(0u, outer.m_inner->Release());
}

}  // namespace
