#include "tests/ui_main/accessible_probe.h"

#include <vector>

using Microsoft::WRL::ComPtr;

namespace {
VARIANT ChildVariant(LONG id) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

std::string Narrow(BSTR text) {
    if (!text) return std::string();
    const int length = static_cast<int>(SysStringLen(text));
    const int n = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_ACP, 0, text, length, &narrow[0], n, nullptr, nullptr);
    SysFreeString(text);
    return narrow;
}

template <typename Getter>
std::string Text(IAccessible* object, LONG child, Getter getter) {
    if (!object) return "<no object>";
    BSTR text = nullptr;
    const HRESULT hr = (object->*getter)(ChildVariant(child), &text);
    if (FAILED(hr)) return "<failed>";
    return Narrow(text);
}
}  // namespace

AccessibleProbe AccessibleProbe::OfWindow(HWND wnd) {
    // The tests' threads are single-threaded apartments already, or become one here.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    AccessibleProbe probe;
    if (FAILED(AccessibleObjectFromWindow(wnd, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                          reinterpret_cast<void**>(probe.m_object.GetAddressOf()))))
        probe.m_object.Reset();
    return probe;
}

AccessibleProbe AccessibleProbe::ChildWithRole(LONG role) const {
    AccessibleProbe found;
    LONG count = 0;
    if (!m_object || FAILED(m_object->get_accChildCount(&count)) || count <= 0) return found;
    std::vector<VARIANT> children(static_cast<size_t>(count));
    LONG got = 0;
    if (FAILED(AccessibleChildren(m_object.Get(), 0, count, children.data(), &got))) return found;
    for (LONG i = 0; i < got; ++i) {
        AccessibleProbe child;
        if (children[i].vt == VT_DISPATCH && children[i].pdispVal) {
            children[i].pdispVal->QueryInterface(__uuidof(IAccessible),
                                                 reinterpret_cast<void**>(child.m_object.GetAddressOf()));
        } else if (children[i].vt == VT_I4) {
            child.m_object = m_object;
            child.m_child = children[i].lVal;
        }
        if (!found && child && child.Role() == role) found = child;
        VariantClear(&children[i]);
    }
    return found;
}

AccessibleProbe AccessibleProbe::Child(LONG id) const {
    AccessibleProbe child;
    child.m_object = m_object;
    child.m_child = id;
    return child;
}

LONG AccessibleProbe::Role() const {
    VARIANT role;
    VariantInit(&role);
    if (!m_object || FAILED(m_object->get_accRole(ChildVariant(m_child), &role)) || role.vt != VT_I4) {
        VariantClear(&role);
        return -1;
    }
    return role.lVal;
}

LONG AccessibleProbe::State() const {
    VARIANT state;
    VariantInit(&state);
    if (!m_object || FAILED(m_object->get_accState(ChildVariant(m_child), &state)) || state.vt != VT_I4) {
        VariantClear(&state);
        return -1;
    }
    return state.lVal;
}

std::string AccessibleProbe::Name() const {
    return Text(m_object.Get(), m_child, &IAccessible::get_accName);
}
std::string AccessibleProbe::Value() const {
    return Text(m_object.Get(), m_child, &IAccessible::get_accValue);
}
std::string AccessibleProbe::Description() const {
    return Text(m_object.Get(), m_child, &IAccessible::get_accDescription);
}
std::string AccessibleProbe::DefaultAction() const {
    return Text(m_object.Get(), m_child, &IAccessible::get_accDefaultAction);
}

bool AccessibleProbe::Place(RECT& screen) const {
    LONG left = 0, top = 0, width = 0, height = 0;
    if (!m_object || m_object->accLocation(&left, &top, &width, &height, ChildVariant(m_child)) != S_OK)
        return false;
    screen = RECT{left, top, left + width, top + height};
    return true;
}

AccessibleProbe AccessibleProbe::HitTest(POINT screen) const {
    AccessibleProbe hit;
    VARIANT at;
    VariantInit(&at);
    if (!m_object || FAILED(m_object->accHitTest(screen.x, screen.y, &at))) return hit;
    if (at.vt == VT_I4) {
        hit.m_object = m_object;
        hit.m_child = at.lVal;
    } else if (at.vt == VT_DISPATCH && at.pdispVal) {
        at.pdispVal->QueryInterface(__uuidof(IAccessible),
                                    reinterpret_cast<void**>(hit.m_object.GetAddressOf()));
    }
    VariantClear(&at);
    return hit;
}

HRESULT AccessibleProbe::DoDefaultAction() const {
    return m_object ? m_object->accDoDefaultAction(ChildVariant(m_child)) : E_POINTER;
}
