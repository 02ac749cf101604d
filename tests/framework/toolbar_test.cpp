// The toolbar helper over Pardwell's own toolbar resource and string table:
// the buttons, separators, pictures and texts the main window shows.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <iterator>
#include <string>

#include "framework/toolbar.h"
#include "res/resource.h"

namespace {

constexpr DWORD kStyle = WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_LIST | TBSTYLE_TOOLTIPS | CCS_TOP |
                         CCS_NODIVIDER | CCS_NORESIZE | CCS_NOPARENTALIGN;

class ToolBarTest : public ::testing::Test {
protected:
    void SetUp() override {
        parent = CreateWindowExA(0, "STATIC", "parent", WS_OVERLAPPEDWINDOW, 0, 0, 400, 200, nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(nullptr, parent);
        images = ImageList_Create(16, 16, ILC_COLOR16 | ILC_MASK, 5, 1);
        grey = ImageList_Create(16, 16, ILC_COLOR16 | ILC_MASK, 5, 1);
    }
    void TearDown() override {
        DestroyWindow(parent);
        ImageList_Destroy(images);
        ImageList_Destroy(grey);
    }
    HWND Build(UINT resourceId) {
        return CreateToolBarFromResource(GetModuleHandleA(nullptr), parent, ID_TOOLBAR_CTRL, resourceId,
                                         kStyle, TBSTYLE_EX_MIXEDBUTTONS, images, grey);
    }
    HWND parent = nullptr;
    HIMAGELIST images = nullptr, grey = nullptr;
};

std::string ButtonText(HWND bar, int id) {
    char text[128] = "";
    LRESULT n = SendMessageA(bar, TB_GETBUTTONTEXTA, id, reinterpret_cast<LPARAM>(text));
    return n > 0 ? std::string(text, static_cast<size_t>(n)) : std::string();
}

// The two adding commands show their labels; the other three carry theirs as
// tooltips only; a separator ends the bar.
TEST_F(ToolBarTest, ButtonsFromTheResourceWithTheirTexts) {
    HWND bar = Build(IDR_MAINFRAME);
    ASSERT_NE(nullptr, bar);
    EXPECT_EQ(parent, GetParent(bar));
    EXPECT_EQ(ID_TOOLBAR_CTRL, GetDlgCtrlID(bar));
    EXPECT_EQ(images, reinterpret_cast<HIMAGELIST>(SendMessageA(bar, TB_GETIMAGELIST, 0, 0)));
    EXPECT_EQ(grey, reinterpret_cast<HIMAGELIST>(SendMessageA(bar, TB_GETDISABLEDIMAGELIST, 0, 0)));
    EXPECT_EQ(static_cast<LRESULT>(TBSTYLE_EX_MIXEDBUTTONS), SendMessageA(bar, TB_GETEXTENDEDSTYLE, 0, 0));
    const struct {
        int id;
        const char* text;
        bool shown;
        int image;
    } want[] = {
        {ID_EDIT_ADD_FILES, "Add Files", true, 0}, {ID_EDIT_ADD_FOLDER, "Add Folder", true, 1},
        {ID_EDIT_DELETE, "Delete", false, 2},      {ID_EDIT_CLEAR, "Clear", false, 3},
        {ID_EDIT_OPEN, "Open", false, 4},          {0, "", false, 0},
    };
    ASSERT_EQ(static_cast<LRESULT>(std::size(want)), SendMessageA(bar, TB_BUTTONCOUNT, 0, 0));
    for (int i = 0; i < static_cast<int>(std::size(want)); ++i) {
        SCOPED_TRACE(i);
        TBBUTTON button{};
        ASSERT_TRUE(SendMessageA(bar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button)));
        EXPECT_EQ(want[i].id, button.idCommand);
        if (want[i].id == 0) {
            EXPECT_TRUE(button.fsStyle & BTNS_SEP);
            continue;
        }
        EXPECT_FALSE(button.fsStyle & BTNS_SEP);
        EXPECT_EQ(want[i].image, button.iBitmap);
        EXPECT_TRUE(button.fsState & TBSTATE_ENABLED);
        EXPECT_TRUE(button.fsStyle & BTNS_AUTOSIZE);
        EXPECT_EQ(want[i].shown, (button.fsStyle & BTNS_SHOWTEXT) != 0);
        EXPECT_EQ(want[i].text, ButtonText(bar, want[i].id));
    }
    RECT labelled{}, plain{};
    SendMessageA(bar, TB_GETRECT, ID_EDIT_ADD_FILES, reinterpret_cast<LPARAM>(&labelled));
    SendMessageA(bar, TB_GETRECT, ID_EDIT_DELETE, reinterpret_cast<LPARAM>(&plain));
    EXPECT_GT(labelled.right - labelled.left, plain.right - plain.left) << "a shown label widens its button";
}

TEST_F(ToolBarTest, NoToolBarWithoutItsResource) {
    EXPECT_EQ(nullptr, Build(IDR_MAINFRAME + 1));
    EXPECT_EQ(nullptr, GetWindow(parent, GW_CHILD)) << "no window is left behind";
}

}  // namespace
