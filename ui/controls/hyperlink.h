#pragma once
// CHyperLink: a static control that looks and acts like a link. Blue text,
// red while the mouse is over it (the link holds the capture then), a hand
// pointer (cursor 137) and a tooltip. A click opens the target through the
// shell, if there is one, and still reaches the parent as STN_CLICKED.
//
// From the keyboard it is a tab stop that shows a focus rectangle and acts
// on Enter and Space as on a click. To assistive technology it is a link
// named by its text, whose default action is its target.
//
// Bind it by subclassing (DDX_Control); the attach step adds SS_NOTIFY and
// WS_TABSTOP, loads the pointer and creates the tooltip.

#include <windows.h>

#include <string>

#include "framework/controls.h"
#include "framework/handles.h"
#include "ui/controls/accessible_proxy.h"

class CHyperLink : public CStatic, private IAccessibleSource {
public:
    CHyperLink();
    ~CHyperLink() override;

    // Stores target and tip; a non-null text becomes the window text. Then
    // the control fits its width to the text, updates the tip and repaints.
    void SetLink(const char* target, const char* tipText, const char* newText = nullptr);

    const std::string& Target() const { return m_target; }
    const std::string& TipText() const { return m_tipText; }
    HWND ToolTipWindow() const { return m_tooltip.m_hwnd; }
    // What the link does, in words, for a link without a target (one that
    // only tells its parent): assistive technology reads it as the default
    // action.
    void SetActionText(std::string text) { m_actionText = std::move(text); }
    std::string DefaultActionText() const { return m_target.empty() ? m_actionText : m_target; }
    // The colour the text is drawn in at the moment: grey while the control
    // is disabled (its command cannot run), the hover colour while hovered.
    COLORREF CurrentTextColor() const;

    COLORREF m_linkColor = RGB(0, 0, 255);
    COLORREF m_hoverColor = RGB(255, 0, 0);
    COLORREF m_backColor;

protected:
    // Opens the target; a seam so that tests can see what a click opens
    // without starting a browser or mail program.
    virtual void OpenTarget(const std::string& what);

    void OnSubclassed() override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

private:
    void OnPaint();
    void OnMouseMove(LPARAM lp);
    void OnLButtonDown(WPARAM wp, LPARAM lp, LRESULT& result);
    // What a click does, for the keyboard and assistive technology: opens
    // the target and tells the parent as a click does (STN_CLICKED).
    void Activate();
    LRESULT OnGetDlgCode(WPARAM wp, LPARAM lp);
    bool Describe(LONG childId, AccessibleFacts& facts) override;
    HRESULT DoDefaultAction(LONG childId) override;
    void FitToText();
    bool HasCapture() const { return m_hwnd && GetCapture() == m_hwnd; }
    bool PointInside(LPARAM lp) const;

    std::string m_target;
    std::string m_tipText;
    CToolTipCtrl m_tooltip;
    CCursorHandle m_hoverCursor;
    std::string m_actionText;
    CAccessibleHost m_accessible{*this};
};
