#include "ui/controls/accessible_proxy.h"

#include <wrl/client.h>

#include <vector>

using Microsoft::WRL::ComPtr;

std::wstring WidenAccessibleText(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
    return wide;
}

namespace {

HRESULT ToBstr(const std::string& text, BSTR* out) {
    const std::wstring wide = WidenAccessibleText(text);
    *out = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

// One object per WM_GETOBJECT: the standard object's answers with the
// control's own facts laid over them. It is also its own child enumerator,
// so that AccessibleChildren lists the extra parts after the standard ones.
class CAccessibleProxy final : public IAccessible, public IEnumVARIANT, public IOleWindow {
public:
    CAccessibleProxy(HWND wnd, ComPtr<IAccessible> base, std::shared_ptr<CAccessibleHost::Link> link)
        : m_wnd(wnd), m_base(std::move(base)), m_link(std::move(link)) {}

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(IAccessible))
            *out = static_cast<IAccessible*>(this);
        else if (iid == __uuidof(IEnumVARIANT))
            *out = static_cast<IEnumVARIANT*>(this);
        else if (iid == __uuidof(IOleWindow))
            *out = static_cast<IOleWindow*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG left = InterlockedDecrement(&m_refs);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    // IDispatch: the standard object's type information serves.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override { return m_base->GetTypeInfoCount(count); }
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override {
        return m_base->GetTypeInfo(index, lcid, info);
    }
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override {
        return m_base->GetIDsOfNames(iid, names, count, lcid, ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* error, UINT* argError) override {
        return m_base->Invoke(id, iid, lcid, flags, params, result, error, argError);
    }

    // IAccessible
    STDMETHODIMP get_accParent(IDispatch** parent) override { return m_base->get_accParent(parent); }
    STDMETHODIMP get_accChildCount(LONG* count) override {
        if (!count) return E_POINTER;
        const HRESULT hr = m_base->get_accChildCount(count);
        if (FAILED(hr)) return hr;
        *count += Extras();
        return S_OK;
    }
    STDMETHODIMP get_accChild(VARIANT child, IDispatch** out) override {
        if (!out) return E_POINTER;
        if (!IsExtraId(child)) return m_base->get_accChild(child, out);
        *out = nullptr;
        return IsKnownExtra(child) ? S_FALSE : E_INVALIDARG;
    }
    STDMETHODIMP get_accName(VARIANT child, BSTR* out) override {
        return Text(child, out, &AccessibleFacts::hasName, &AccessibleFacts::name, &IAccessible::get_accName);
    }
    STDMETHODIMP get_accValue(VARIANT child, BSTR* out) override {
        return Text(child, out, &AccessibleFacts::hasValue, &AccessibleFacts::value,
                    &IAccessible::get_accValue);
    }
    STDMETHODIMP get_accDescription(VARIANT child, BSTR* out) override {
        return Text(child, out, &AccessibleFacts::hasDescription, &AccessibleFacts::description,
                    &IAccessible::get_accDescription);
    }
    STDMETHODIMP get_accDefaultAction(VARIANT child, BSTR* out) override {
        return Text(child, out, &AccessibleFacts::hasDefaultAction, &AccessibleFacts::defaultAction,
                    &IAccessible::get_accDefaultAction);
    }
    STDMETHODIMP get_accRole(VARIANT child, VARIANT* out) override {
        if (!out) return E_POINTER;
        AccessibleFacts facts;
        const HRESULT asked = Ask(child, facts);
        if (FAILED(asked)) return asked;
        if (asked == S_FALSE || facts.role == 0) return m_base->get_accRole(child, out);
        out->vt = VT_I4;
        out->lVal = facts.role;
        return S_OK;
    }
    STDMETHODIMP get_accState(VARIANT child, VARIANT* out) override {
        if (!out) return E_POINTER;
        AccessibleFacts facts;
        const HRESULT asked = Ask(child, facts);
        if (FAILED(asked)) return asked;
        if (asked == S_FALSE || facts.state < 0) return m_base->get_accState(child, out);
        out->vt = VT_I4;
        out->lVal = facts.state;
        return S_OK;
    }
    STDMETHODIMP get_accHelp(VARIANT child, BSTR* out) override {
        if (!out) return E_POINTER;
        if (!IsExtraId(child)) return m_base->get_accHelp(child, out);
        *out = nullptr;
        return IsKnownExtra(child) ? S_FALSE : E_INVALIDARG;
    }
    STDMETHODIMP get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
        if (!IsExtraId(child)) return m_base->get_accHelpTopic(file, child, topic);
        if (file) *file = nullptr;
        if (topic) *topic = 0;
        return IsKnownExtra(child) ? S_FALSE : E_INVALIDARG;
    }
    STDMETHODIMP get_accKeyboardShortcut(VARIANT child, BSTR* out) override {
        if (!out) return E_POINTER;
        if (!IsExtraId(child)) return m_base->get_accKeyboardShortcut(child, out);
        *out = nullptr;
        return IsKnownExtra(child) ? S_FALSE : E_INVALIDARG;
    }
    STDMETHODIMP get_accFocus(VARIANT* out) override { return m_base->get_accFocus(out); }
    STDMETHODIMP get_accSelection(VARIANT* out) override { return m_base->get_accSelection(out); }
    STDMETHODIMP accSelect(LONG flags, VARIANT child) override {
        if (!IsExtraId(child)) return m_base->accSelect(flags, child);
        return IsKnownExtra(child) ? DISP_E_MEMBERNOTFOUND : E_INVALIDARG;
    }
    STDMETHODIMP accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override {
        if (!left || !top || !width || !height) return E_POINTER;
        AccessibleFacts facts;
        const HRESULT asked = Ask(child, facts);
        if (FAILED(asked)) return asked;
        if (asked == S_OK && facts.hasPlace) {
            *left = facts.screen.left;
            *top = facts.screen.top;
            *width = facts.screen.right - facts.screen.left;
            *height = facts.screen.bottom - facts.screen.top;
            return S_OK;
        }
        if (IsExtraId(child)) {
            *left = *top = *width = *height = 0;
            return S_FALSE;
        }
        return m_base->accLocation(left, top, width, height, child);
    }
    STDMETHODIMP accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        if (!end) return E_POINTER;
        if (!IsExtraId(start)) return m_base->accNavigate(direction, start, end);
        VariantInit(end);
        return IsKnownExtra(start) ? S_FALSE : E_INVALIDARG;
    }
    STDMETHODIMP accHitTest(LONG x, LONG y, VARIANT* out) override {
        if (!out) return E_POINTER;
        const HRESULT hr = m_base->accHitTest(x, y, out);
        // A child window over a part (a link over the banner) keeps the point.
        if (FAILED(hr) || (out->vt == VT_I4 && out->lVal == CHILDID_SELF)) {
            const POINT pt{x, y};
            for (int i = 0, n = Extras(); i < n; ++i) {
                AccessibleFacts facts;
                if (Source() && Source()->DescribeExtra(i, facts) && facts.hasPlace &&
                    PtInRect(&facts.screen, pt)) {
                    VariantClear(out);
                    out->vt = VT_I4;
                    out->lVal = kExtraChildBase + i;
                    return S_OK;
                }
            }
        }
        return hr;
    }
    STDMETHODIMP accDoDefaultAction(VARIANT child) override {
        if (child.vt != VT_I4) return E_INVALIDARG;
        if (IsExtraId(child) && !IsKnownExtra(child)) return E_INVALIDARG;
        const HRESULT done = Source() ? Source()->DoDefaultAction(child.lVal) : S_FALSE;
        if (done != S_FALSE) return done;
        if (IsExtraId(child)) return DISP_E_MEMBERNOTFOUND;
        return m_base->accDoDefaultAction(child);
    }
    STDMETHODIMP put_accName(VARIANT child, BSTR name) override {
        if (IsExtraId(child)) return E_NOTIMPL;
        return m_base->put_accName(child, name);
    }
    STDMETHODIMP put_accValue(VARIANT child, BSTR value) override {
        if (IsExtraId(child)) return E_NOTIMPL;
        return m_base->put_accValue(child, value);
    }

    // IEnumVARIANT
    STDMETHODIMP Next(ULONG count, VARIANT* items, ULONG* fetched) override {
        if (!items) return E_POINTER;
        if (!m_listed) ListChildren();
        ULONG n = 0;
        for (; n < count && m_next < m_children.size(); ++n, ++m_next) {
            VariantInit(&items[n]);
            VariantCopy(&items[n], &m_children[m_next]);
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override {
        if (!m_listed) ListChildren();
        m_next += count;
        if (m_next <= m_children.size()) return S_OK;
        m_next = m_children.size();
        return S_FALSE;
    }
    STDMETHODIMP Reset() override {
        ListChildren();
        m_next = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumVARIANT** out) override {
        if (!out) return E_POINTER;
        auto* copy = new CAccessibleProxy(m_wnd, m_base, m_link);
        copy->ListChildren();
        copy->m_next = m_next;
        *out = static_cast<IEnumVARIANT*>(copy);
        return S_OK;
    }

    // IOleWindow: WindowFromAccessibleObject asks this.
    STDMETHODIMP GetWindow(HWND* wnd) override {
        if (!wnd) return E_POINTER;
        *wnd = m_wnd;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

private:
    ~CAccessibleProxy() { ClearChildren(); }

    IAccessibleSource* Source() const { return m_link ? m_link->source : nullptr; }
    int Extras() const { return Source() ? Source()->ExtraCount() : 0; }
    static bool IsExtraId(const VARIANT& child) { return child.vt == VT_I4 && child.lVal >= kExtraChildBase; }
    bool IsKnownExtra(const VARIANT& child) const {
        return IsExtraId(child) && child.lVal - kExtraChildBase < Extras();
    }

    // S_OK with the control's facts, S_FALSE to ask the standard object,
    // E_INVALIDARG for an id that names nothing.
    HRESULT Ask(const VARIANT& child, AccessibleFacts& facts) const {
        if (child.vt != VT_I4) return E_INVALIDARG;
        if (IsExtraId(child)) {
            if (!IsKnownExtra(child)) return E_INVALIDARG;
            return Source()->DescribeExtra(child.lVal - kExtraChildBase, facts) ? S_OK : E_INVALIDARG;
        }
        return Source() && Source()->Describe(child.lVal, facts) ? S_OK : S_FALSE;
    }

    template <typename Standard>
    HRESULT Text(const VARIANT& child, BSTR* out, bool AccessibleFacts::*has,
                 std::string AccessibleFacts::*text, Standard standard) {
        if (!out) return E_POINTER;
        *out = nullptr;
        AccessibleFacts facts;
        const HRESULT asked = Ask(child, facts);
        if (FAILED(asked)) return asked;
        if (asked == S_OK && facts.*has) return ToBstr(facts.*text, out);
        if (IsExtraId(child)) return S_FALSE;
        return (m_base.Get()->*standard)(child, out);
    }

    void ListChildren() {
        ClearChildren();
        LONG count = 0;
        if (SUCCEEDED(m_base->get_accChildCount(&count)) && count > 0) {
            std::vector<VARIANT> standard(static_cast<size_t>(count));
            LONG got = 0;
            if (SUCCEEDED(AccessibleChildren(m_base.Get(), 0, count, standard.data(), &got)))
                standard.resize(static_cast<size_t>(got));
            else
                standard.clear();
            m_children = std::move(standard);
        }
        for (int i = 0, n = Extras(); i < n; ++i) {
            VARIANT part;
            VariantInit(&part);
            part.vt = VT_I4;
            part.lVal = kExtraChildBase + i;
            m_children.push_back(part);
        }
        m_listed = true;
    }
    void ClearChildren() {
        for (VARIANT& item : m_children) VariantClear(&item);
        m_children.clear();
        m_listed = false;
    }

    LONG m_refs = 1;
    HWND m_wnd;
    ComPtr<IAccessible> m_base;
    std::shared_ptr<CAccessibleHost::Link> m_link;
    std::vector<VARIANT> m_children;
    size_t m_next = 0;
    bool m_listed = false;
};

}  // namespace

CAccessibleHost::CAccessibleHost(IAccessibleSource& source)
    : m_source(source), m_link(std::make_shared<Link>(Link{&source})) {}

CAccessibleHost::~CAccessibleHost() {
    m_link->source = nullptr;
}

void CAccessibleHost::Disconnect() {
    m_link->source = nullptr;
    m_link = std::make_shared<Link>(Link{&m_source});
}

bool CAccessibleHost::OnGetObject(HWND wnd, WPARAM wp, LPARAM lp, LRESULT& result) {
    // The object id arrives as a 32-bit value; on x64 it may not be sign-extended.
    if (static_cast<DWORD>(lp) != static_cast<DWORD>(OBJID_CLIENT)) return false;
    ComPtr<IAccessible> standard;
    if (FAILED(CreateStdAccessibleObject(wnd, OBJID_CLIENT, __uuidof(IAccessible),
                                         reinterpret_cast<void**>(standard.GetAddressOf()))))
        return false;
    auto* proxy = new CAccessibleProxy(wnd, std::move(standard), m_link);
    result = LresultFromObject(__uuidof(IAccessible), wp, static_cast<IAccessible*>(proxy));
    proxy->Release();
    return true;
}
