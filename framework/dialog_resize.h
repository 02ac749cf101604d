#pragma once
// CDialogResize: places a window's controls by anchors as it is resized.
//
// Each control names the edges it follows. Its rectangle is taken against
// the window's client size when Init runs; a client grown or shrunk by
// (dx, dy) then moves (Move*) or stretches (Size*) the control by exactly
// that much, and a control with no anchor on an axis stays put on it. The
// window never tracks smaller than its size at Init, or a given minimum.

#include <windows.h>

#include <vector>

class CDialogResize {
public:
    enum Anchor : UINT {
        MoveX = 0x1,  // left and right edges follow the window's right edge
        SizeX = 0x2,  // the right edge follows it, the left edge stays
        MoveY = 0x4,  // top and bottom edges follow the window's bottom edge
        SizeY = 0x8,  // the bottom edge follows it, the top edge stays
    };
    struct Item {
        int id;
        UINT anchors;
    };

    // Takes the listed controls' rectangles against `wnd`'s client area now.
    // minTrack (window size) replaces the window's current size as the
    // minimum when it is not zero. A nonzero gripId adds a size grip with that
    // id at the bottom-right corner, first in z-order, following the corner.
    // False (nothing held) when a listed control or the grip is missing.
    bool Init(HWND wnd, const Item* items, size_t count, SIZE minTrack = SIZE{0, 0}, int gripId = 0);

    // Places the controls for the current client size; a no-op before Init.
    void Layout() const;
    // WM_GETMINMAXINFO: raises the minimum tracking size to ours.
    void ApplyMinimum(MINMAXINFO& info) const;

    HWND Grip() const { return m_grip; }
    SIZE MinTrackSize() const { return m_minTrack; }

private:
    struct Placed {
        HWND control;
        UINT anchors;
        RECT rect;  // in client coordinates when Init ran
    };
    HWND m_wnd = nullptr;
    HWND m_grip = nullptr;
    SIZE m_initialClient{0, 0};
    SIZE m_minTrack{0, 0};
    std::vector<Placed> m_placed;
};
