#pragma once
// COptionsDlg: the persistent options. The five conversion flags, the
// default filter for folders and the program that opens a file are copied
// into the settings record on OK only (the registry sees them at exit); the
// file-manager integration is switched on OK, and only when its check box
// changed.

#include <windows.h>

#include <string>

#include "app/profile_store.h"
#include "app/settings.h"
#include "framework/dialog.h"
#include "ui/controls/auto_width_combo.h"

class COptionsDlg : public CDialog {
public:
    // The settings record and the profile store must outlive the dialog.
    COptionsDlg(CAppSettings& settings, IProfileStore& store, HWND parent = nullptr);

    int IntegrationEnabled() const { return m_integrationEnabled; }
    int IntegrationWasEnabled() const { return m_integrationWasEnabled; }

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void DoDataExchange(bool save) override;
    bool OnCommand(UINT id, UINT code, HWND control) override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

private:
    // The filter's value is the text of the combo box's edit field, never a
    // list entry.
    void ExchangeFilterText(bool save);
    void FillFileTypes();
    void OnFileTypeChosen();
    void ShowPatterns(int row);
    bool ShowsRowDescription();
    void OnBrowse();

    CAppSettings& m_settings;
    IProfileStore& m_store;
    CAutoWidthComboBoxEx m_filterCombo;
    int m_integrationEnabled = 0;
    int m_integrationWasEnabled = 0;
    std::string m_defaultFilter;
    std::string m_program;
    int m_backupFile = 0;
    int m_keepAttributes = 0;
    int m_keepTimestamp = 0;
    int m_ignoreReadOnly = 0;
    int m_skipBinary = 0;
    int m_skipIgnored = 0;
    std::string m_fileTypes;
};
