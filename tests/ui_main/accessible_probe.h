#pragma once
// What a screen reader sees of a window: its client object as
// AccessibleObjectFromWindow hands it out (through WM_GETOBJECT), and the
// children AccessibleChildren lists, read through IAccessible.

#include <windows.h>
#include <oleacc.h>
#include <wrl/client.h>

#include <string>

class AccessibleProbe {
public:
    static AccessibleProbe OfWindow(HWND wnd);

    explicit operator bool() const { return m_object != nullptr; }
    // The first child with the role, or an empty probe.
    AccessibleProbe ChildWithRole(LONG role) const;
    // The standard numbering's child (a list's items from 1).
    AccessibleProbe Child(LONG id) const;

    LONG Role() const;
    LONG State() const;
    std::string Name() const;
    std::string Value() const;
    std::string Description() const;
    std::string DefaultAction() const;
    // In screen coordinates; false when the object gives no place.
    bool Place(RECT& screen) const;
    // The child the object reports at the screen point, as a probe.
    AccessibleProbe HitTest(POINT screen) const;
    HRESULT DoDefaultAction() const;

private:
    Microsoft::WRL::ComPtr<IAccessible> m_object;
    LONG m_child = CHILDID_SELF;
};
