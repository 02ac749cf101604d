// Tab walks each of Pardwell's own dialogs as the dialog manager does; the
// order must be the one the eye follows, and each dialog opens on the
// control where Enter does what the dialog is for.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "app/memory_profile_store.h"
#include "tests/ui_main/ui_test_support.h"
#include "ui/dialogs/about_dlg.h"
#include "ui/dialogs/options_dlg.h"
#include "ui/dialogs/select_folder_dlg.h"

namespace {

TEST(TabOrder, EveryDialogFollowsItsVisualOrderAndOpensOnItsMainControl) {
    TestApp::Get();
    ResetSettings();
    CMemoryProfileStore store;
    const struct {
        const char* name;
        std::function<std::unique_ptr<CDialog>()> make;
        int opensOn;
    } table[] = {
        {"main", [] { return std::make_unique<TestMainDlg>(0, nullptr); }, IDC_JOB_LIST},
        {"Options", [&] { return std::make_unique<COptionsDlg>(TestApp::Get().Settings(), store); },
         IDC_KEEP_TIMESTAMP},
        {"Add a Folder", [] { return std::make_unique<CSelectFolderDlg>(); }, IDC_FOLDER_TREE},
        {"About", [] { return std::make_unique<CAboutDlg>(TestApp::Get().Resources()); }, IDOK},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        std::unique_ptr<CDialog> dialog = row.make();
        ASSERT_TRUE(dialog->Create());
        ShowWindow(*dialog, SW_SHOW);
        PumpFor(0);
        EXPECT_EQ(GetDlgItem(*dialog, row.opensOn), GetFocus());
        const std::vector<HWND> walk = WalkTabOrder(*dialog);
        EXPECT_GE(walk.size(), 3u);
        EXPECT_EQ("", TabOrderFault(*dialog, walk));
        dialog->DestroyWindow();
    }
}

}  // namespace
