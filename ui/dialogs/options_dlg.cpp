#include "ui/dialogs/options_dlg.h"

#include <commdlg.h>

#include "app/shell_integration.h"
#include "core/file_types.h"
#include "res/resource.h"
#include "ui/dialogs/file_dialog_ex.h"

namespace {
const char kProgramFilter[] = "Executable Files (*.exe)|*.exe|All Files (*.*)|*.*||";
// Posted on a pick from the file types: the combo box writes the row's
// description into its field after notifying, so the patterns come later.
constexpr UINT kMsgShowPatterns = WM_APP + 1;
}  // namespace

COptionsDlg::COptionsDlg(CAppSettings& settings, IProfileStore& store, HWND parent)
    : CDialog(IDD_OPTIONS, parent),
      m_settings(settings),
      m_store(store),
      m_defaultFilter(settings.Options().defaultFilter),
      m_program(settings.Options().program),
      m_skipIgnored(settings.Options().skipIgnored ? 1 : 0) {
    const ConvertOptions options = settings.ConversionOptions();
    m_backupFile = options.backup;
    m_keepAttributes = options.keepAttributes;
    m_keepTimestamp = options.keepTimestamp;
    m_ignoreReadOnly = options.allowReadOnly;
    m_skipBinary = options.skipBinary;
}

void COptionsDlg::DoDataExchange(bool save) {
    DDX_Control(IDC_DEFAULT_FILTER, m_filterCombo);
    DDX_Check(save, IDC_INTEGRATION, m_integrationEnabled);
    ExchangeFilterText(save);
    DDX_Text(save, IDC_PROGRAM, m_program);
    DDX_Check(save, IDC_BACKUP_FILE, m_backupFile);
    DDX_Check(save, IDC_KEEP_ATTRIBUTES, m_keepAttributes);
    DDX_Check(save, IDC_KEEP_TIMESTAMP, m_keepTimestamp);
    DDX_Check(save, IDC_IGNORE_READ_ONLY, m_ignoreReadOnly);
    DDX_Check(save, IDC_SKIP_BINARY, m_skipBinary);
    DDX_Check(save, IDC_SKIP_IGNORED, m_skipIgnored);
}

void COptionsDlg::ExchangeFilterText(bool save) {
    CWnd edit;
    edit.Attach(m_filterCombo.m_hwnd ? m_filterCombo.GetEditCtrl() : nullptr);
    if (!edit.m_hwnd) return;
    if (save)
        m_defaultFilter = edit.GetWindowText();
    else
        edit.SetWindowText(m_defaultFilter.c_str());
}

BOOL COptionsDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_integrationEnabled = m_integrationWasEnabled = CShellIntegration(m_store).IsEnabled() ? 1 : 0;
    m_fileTypes = GetFileTypeFilters();
    FillFileTypes();
    UpdateData(false);
    return TRUE;
}

void COptionsDlg::FillFileTypes() {
    int rows = FileTypeRowCount(m_fileTypes);
    for (int row = 0; row < rows; ++row)
        m_filterCombo.InsertItem(row, FileTypeDescription(m_fileTypes, row).c_str(), -1, -1);
}

bool COptionsDlg::OnCommand(UINT id, UINT code, HWND) {
    switch (id) {
        case IDC_DEFAULT_FILTER:
            // Some boxes report a pick made with the arrow keys only as a change
            // of their field, which then holds the row's description.
            if (code == CBN_SELCHANGE || (code == CBN_EDITCHANGE && ShowsRowDescription())) {
                OnFileTypeChosen();
                return true;
            }
            return false;
        case IDC_BROWSE:
            if (code == BN_CLICKED) OnBrowse();
            return true;
        default:
            return false;
    }
}

void COptionsDlg::OnFileTypeChosen() {
    int row = m_filterCombo.GetCurSel();
    if (row == -1) return;
    ShowPatterns(row);
    PostMessage(kMsgShowPatterns, static_cast<WPARAM>(row));
}

bool COptionsDlg::ShowsRowDescription() {
    int row = m_filterCombo.GetCurSel();
    if (row == -1) return false;
    CWnd edit;
    edit.Attach(m_filterCombo.GetEditCtrl());
    return edit.m_hwnd && edit.GetWindowText() == FileTypeDescription(m_fileTypes, row);
}

void COptionsDlg::ShowPatterns(int row) {
    HWND edit = m_filterCombo.GetEditCtrl();
    if (edit) ::SetWindowTextA(edit, FileTypePatterns(m_fileTypes, row).c_str());
}

bool COptionsDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (msg == kMsgShowPatterns) {
        // Only if the pick still stands (no typing or other pick since).
        if (m_filterCombo.GetCurSel() == static_cast<int>(wp)) ShowPatterns(static_cast<int>(wp));
        result = 0;
        return true;
    }
    return CDialog::OnMessage(msg, wp, lp, result);
}

void COptionsDlg::OnBrowse() {
    DDX_Text(true, IDC_PROGRAM, m_program);
    CFileDialogEx dialog(true, nullptr, m_program.c_str(),
                         OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_ALLOWMULTISELECT, kProgramFilter,
                         nullptr);
    if (dialog.DoModal() != IDOK) return;
    ::SetDlgItemTextA(m_hwnd, IDC_PROGRAM, dialog.GetPathName().c_str());
}

void COptionsDlg::OnOK() {
    UpdateData(true);
    // One store of all five: a run under way takes them whole for its next file.
    ConvertOptions options;
    options.keepTimestamp = m_keepTimestamp != 0;
    options.keepAttributes = m_keepAttributes != 0;
    options.allowReadOnly = m_ignoreReadOnly != 0;
    options.backup = m_backupFile != 0;
    options.skipBinary = m_skipBinary != 0;
    m_settings.SetConversionOptions(options);
    m_settings.Options().defaultFilter = m_defaultFilter;
    m_settings.Options().program = m_program;
    m_settings.Options().skipIgnored = m_skipIgnored != 0;
    if (m_integrationEnabled != m_integrationWasEnabled)
        CShellIntegration(m_store).Switch(m_integrationEnabled);
    CDialog::OnOK();
}
