#include "ui/dialogs/select_folder_dlg.h"

#include <shlwapi.h>

#include <vector>

#include "core/file_types.h"
#include "core/platform/file_system.h"
#include "framework/dpi.h"
#include "res/resource.h"

namespace {
RECT ChildRect(HWND parent, int id) {
    RECT rect{};
    HWND child = GetDlgItem(parent, id);
    if (!child) return rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void Place(HWND parent, int id, int left, int top, int right, int bottom) {
    if (HWND child = GetDlgItem(parent, id)) MoveWindow(child, left, top, right - left, bottom - top, TRUE);
}

int Height(const RECT& r) {
    return r.bottom - r.top;
}
int Width(const RECT& r) {
    return r.right - r.left;
}

// The edges each control follows once placed at the first size.
const CDialogResize::Item kAnchors[] = {
    {IDC_FOLDER_PROMPT, CDialogResize::SizeX},
    {IDC_FOLDER_TREE, CDialogResize::SizeX | CDialogResize::SizeY},
    {IDC_FILE_TYPES_LABEL, CDialogResize::MoveY},
    {IDC_FILE_TYPES, CDialogResize::SizeX | CDialogResize::MoveY},
    {IDC_INCLUDE_SUBFOLDERS, CDialogResize::MoveY},
    {IDOK, CDialogResize::MoveX | CDialogResize::MoveY},
    {IDCANCEL, CDialogResize::MoveX | CDialogResize::MoveY},
};
// Window size, pixels at 96 DPI.
constexpr SIZE kMinimumSize{320, 280};
}  // namespace

CSelectFolderDlg::CSelectFolderDlg(HWND parent) : CDialog(IDD_SELECT_FOLDER, parent) {}

CSelectFolderDlg::~CSelectFolderDlg() {
    EndPreselection();
    // While the tree object still stands, so its items' data is freed.
    if (m_hwnd) DestroyWindow();
}

void CSelectFolderDlg::DoDataExchange(bool save) {
    DDX_Control(IDC_FILE_TYPES, m_fileTypes);
    DDX_Control(IDC_FOLDER_TREE, m_tree);
    // The extended combo box keeps its text in its own edit field.
    HWND edit = m_fileTypes.m_hwnd ? m_fileTypes.GetEditCtrl() : nullptr;
    if (edit) {
        if (save) {
            int n = GetWindowTextLengthA(edit);
            std::vector<char> text(n + 1, '\0');
            ::GetWindowTextA(edit, text.data(), n + 1);
            m_fileTypesText = text.data();
        } else {
            ::SetWindowTextA(edit, m_fileTypesText.c_str());
        }
    }
    DDX_Text(save, IDC_FOLDER_PROMPT, m_prompt);
    DDX_Check(save, IDC_INCLUDE_SUBFOLDERS, m_includeSubfolders);
}

BOOL CSelectFolderDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetWindowLongPtrA(m_hwnd, GWL_EXSTYLE, GetWindowLongPtrA(m_hwnd, GWL_EXSTYLE) | WS_EX_DLGMODALFRAME);
    SetWindowPos(m_hwnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    CutSystemMenu();
    PlaceAtFirstSize();
    if (!m_title.empty()) SetWindowText(m_title.c_str());
    m_tree.FillRoot();
    m_tree.Expand(m_tree.GetRootItem());
    FillFileTypes();
    // Asked through the file system, which takes a folder at any depth.
    if (!m_initialFolder.empty() && NativeFileSystem().Exists(m_initialFolder.c_str())) {
        std::vector<char> pretty(m_initialFolder.begin(), m_initialFolder.end());
        pretty.push_back('\0');
        PathMakePrettyA(pretty.data());
        m_initialFolder = pretty.data();
        StartPreselection();
    }
    return TRUE;
}

void CSelectFolderDlg::CutSystemMenu() {
    HMENU menu = GetSystemMenu(m_hwnd, FALSE);
    if (!menu) return;
    DeleteMenu(menu, SC_RESTORE, MF_BYCOMMAND);
    DeleteMenu(menu, SC_MINIMIZE, MF_BYCOMMAND);
    DeleteMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND);
}

void CSelectFolderDlg::FillFileTypes() {
    const int rows = FileTypeRowCount(m_filters);
    for (int row = 0; row < rows; ++row)
        m_fileTypes.InsertItem(row, FileTypeDescription(m_filters, row).c_str(), -1, -1);
}

void CSelectFolderDlg::OnFileTypeChosen() {
    const int row = m_fileTypes.GetCurSel();
    if (row < 0 || row >= FileTypeRowCount(m_filters)) return;
    if (HWND edit = m_fileTypes.GetEditCtrl())
        ::SetWindowTextA(edit, FileTypePatterns(m_filters, row).c_str());
}

void CSelectFolderDlg::StartPreselection() {
    m_preselecting = m_selectSteps.Open() && m_selectSteps.Post([this] { NextSelectStep(true); });
    if (!m_preselecting) m_tree.SelectPath(m_initialFolder.c_str());
}

void CSelectFolderDlg::NextSelectStep(bool first) {
    // Each step is a task of its own, posted after what the step itself
    // posted: a close the user asked for meanwhile comes first.
    if (SelectStep(first) && m_selectSteps.Post([this] { NextSelectStep(false); })) return;
    m_preselecting = false;
}

bool CSelectFolderDlg::SelectStep(bool first) {
    return first ? m_tree.BeginSelectPath(m_initialFolder.c_str()) : m_tree.SelectPathStep();
}

void CSelectFolderDlg::EndPreselection() {
    m_selectSteps.Close();
    m_preselecting = false;
}

void CSelectFolderDlg::OnOK() {
    UpdateData(true);
    m_folder = m_tree.GetSelectedPath();
    if (m_fileTypesText.empty()) m_fileTypesText = "*.*";
    EndDialog(IDOK);
}

bool CSelectFolderDlg::OnCommand(UINT id, UINT code, HWND control) {
    if (id == IDC_FILE_TYPES && code == CBN_SELCHANGE) {
        OnFileTypeChosen();
        return true;
    }
    return CDialog::OnCommand(id, code, control);
}

bool CSelectFolderDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    switch (msg) {
        case WM_SIZE:
            result = DefProc(msg, wp, lp);
            m_resize.Layout();
            return true;
        case WM_GETMINMAXINFO:
            m_resize.ApplyMinimum(*reinterpret_cast<MINMAXINFO*>(lp));
            result = DefProc(msg, wp, lp);
            return true;
        case WM_DPICHANGED: {
            // The system rescales the dialog's own layout first; the anchors
            // then start from it, with the minimum for the new scale.
            result = DefProc(msg, wp, lp);
            const UINT dpi = LOWORD(wp);
            const SIZE minimum{ScaleForDpi(kMinimumSize.cx, dpi), ScaleForDpi(kMinimumSize.cy, dpi)};
            m_resize.Init(m_hwnd, kAnchors, sizeof(kAnchors) / sizeof(kAnchors[0]), minimum, IDC_SIZE_GRIP);
            const RECT& suggested = *reinterpret_cast<const RECT*>(lp);
            SetWindowPos(m_hwnd, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                         suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
            return true;
        }
        case WM_DESTROY:
            EndPreselection();
            return CDialog::OnMessage(msg, wp, lp, result);
        default:
            return CDialog::OnMessage(msg, wp, lp, result);
    }
}

void CSelectFolderDlg::PlaceAtFirstSize() {
    // The margins are pixels rather than the template's dialog units, so the
    // rows are stacked up from the bottom here once; from then on the
    // controls follow their anchors.
    // Those pixels are for 96 DPI and scale with the dialog's own.
    const UINT dpi = DpiOfWindow(m_hwnd);
    const int kRight = ScaleForDpi(9, dpi), kBottom = ScaleForDpi(12, dpi), kButtonGap = ScaleForDpi(4, dpi),
              kRowGap = ScaleForDpi(6, dpi);
    RECT client;
    GetClientRect(m_hwnd, &client);
    const RECT ok = ChildRect(m_hwnd, IDOK);
    const RECT combo = ChildRect(m_hwnd, IDC_FILE_TYPES);
    const RECT label = ChildRect(m_hwnd, IDC_FILE_TYPES_LABEL);
    const RECT check = ChildRect(m_hwnd, IDC_INCLUDE_SUBFOLDERS);
    const RECT prompt = ChildRect(m_hwnd, IDC_FOLDER_PROMPT);
    const RECT tree = ChildRect(m_hwnd, IDC_FOLDER_TREE);
    const int wOK = Width(ok), hOK = Height(ok), hCB = Height(combo), hL = Height(label), hK = Height(check);
    const int right = client.right - kRight;
    const int buttonTop = client.bottom - kBottom - hOK;
    const int row = buttonTop - kRowGap - hCB;

    Place(m_hwnd, IDC_FOLDER_PROMPT, prompt.left, prompt.top, right, prompt.top + Height(prompt));
    Place(m_hwnd, IDC_FOLDER_TREE, tree.left, tree.top, right, row - kRowGap);
    const int labelTop = row + (hCB - hL) / 2;
    Place(m_hwnd, IDC_FILE_TYPES_LABEL, label.left, labelTop, label.right, labelTop + hL);
    Place(m_hwnd, IDC_FILE_TYPES, combo.left, row, right, row + hCB);
    Place(m_hwnd, IDCANCEL, right - wOK, buttonTop, right, buttonTop + hOK);
    Place(m_hwnd, IDOK, right - 2 * wOK - kButtonGap, buttonTop, right - wOK - kButtonGap, buttonTop + hOK);
    const int checkTop = buttonTop + (hOK - hK) / 2;
    Place(m_hwnd, IDC_INCLUDE_SUBFOLDERS, check.left, checkTop, check.right, checkTop + hK);
    const SIZE minimum{ScaleForDpi(kMinimumSize.cx, dpi), ScaleForDpi(kMinimumSize.cy, dpi)};
    m_resize.Init(m_hwnd, kAnchors, sizeof(kAnchors) / sizeof(kAnchors[0]), minimum, IDC_SIZE_GRIP);
    InvalidateRect(m_hwnd, nullptr, TRUE);
}
