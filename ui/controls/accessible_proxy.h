#pragma once
// What a custom control tells assistive technology. The system's standard
// object for the window (CreateStdAccessibleObject) answers everything the
// window's class already says: place, parent, navigation, children. A
// control corrects what it paints itself through IAccessibleSource: the
// facts of the window or of a standard child (a list row), and parts that
// have no window of their own (the banner's caption, a loading indicator),
// which become simple child elements with ids from kExtraChildBase.
//
// The control answers WM_GETOBJECT through a CAccessibleHost member. The
// objects handed out may outlive the window; the host cuts them off from the
// control when it goes, and from then on they say only what the standard
// object says.

#include <windows.h>
#include <oleacc.h>

#include <memory>
#include <string>

struct AccessibleFacts {
    LONG role = 0;    // 0 keeps the standard role
    LONG state = -1;  // -1 keeps the standard state
    bool hasName = false, hasValue = false, hasDescription = false, hasDefaultAction = false;
    std::string name, value, description, defaultAction;
    bool hasPlace = false;
    RECT screen{};  // screen coordinates, for extra parts

    void Name(std::string text) { name = std::move(text), hasName = true; }
    void Value(std::string text) { value = std::move(text), hasValue = true; }
    void Description(std::string text) { description = std::move(text), hasDescription = true; }
    void DefaultAction(std::string text) { defaultAction = std::move(text), hasDefaultAction = true; }
};

class IAccessibleSource {
public:
    virtual ~IAccessibleSource() = default;
    // The facts of the window (CHILDID_SELF) or of a standard child; false
    // leaves every fact to the standard object.
    virtual bool Describe(LONG /*childId*/, AccessibleFacts& /*facts*/) { return false; }
    // Parts without a window, by position; their child id is
    // kExtraChildBase + index.
    virtual int ExtraCount() { return 0; }
    virtual bool DescribeExtra(int /*index*/, AccessibleFacts& /*facts*/) { return false; }
    // Carries out the default action: S_OK, a failure, or S_FALSE to leave
    // it to the standard object.
    virtual HRESULT DoDefaultAction(LONG /*childId*/) { return S_FALSE; }
};

// Far above any position a standard list or tree object numbers its
// children with, so that the two never meet.
constexpr LONG kExtraChildBase = 0x40000000;

class CAccessibleHost {
public:
    explicit CAccessibleHost(IAccessibleSource& source);
    ~CAccessibleHost();
    CAccessibleHost(const CAccessibleHost&) = delete;
    CAccessibleHost& operator=(const CAccessibleHost&) = delete;

    // Answers WM_GETOBJECT for the client object; false for any other
    // object id (the window's frame, the caret...) or when none could be made.
    bool OnGetObject(HWND wnd, WPARAM wp, LPARAM lp, LRESULT& result);
    // The window is going: objects already handed out stop asking the
    // control; a window subclassed later gets new ones.
    void Disconnect();

    struct Link {
        IAccessibleSource* source;
    };

private:
    IAccessibleSource& m_source;
    std::shared_ptr<Link> m_link;
};

// Accessible text is UTF-16; the controls hold text in the ANSI code page.
std::wstring WidenAccessibleText(const std::string& text);
