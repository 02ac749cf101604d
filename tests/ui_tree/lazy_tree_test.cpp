// The lazy tree: levels loaded once behind a placeholder, the indicator
// thread's wake-ups, the snapshot during a load, the expand-button rules.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/ui_main/accessible_probe.h"
#include "tests/ui_tree/tree_host.h"
#include "ui/controls/loading_tree_ctrl.h"

namespace {

// What PopulateChildren does for one item, by its text.
struct Level {
    int children = 0;
    DWORD delayMs = 0;  // per child, with a progress step after each
    bool final = true;
    bool fail = false;              // throws halfway, as a broken enumeration might
    std::function<void()> midLoad;  // before the first child is in
};
Level L(int children, DWORD delayMs = 0, bool final = true, bool fail = false) {
    Level level;
    level.children = children;
    level.delayMs = delayMs;
    level.final = final;
    level.fail = fail;
    return level;
}

class TestTree : public CLoadingTreeCtrl {
public:
    std::map<std::string, Level> levels;
    std::vector<std::string> populated;
    std::vector<std::string> placeholderTexts;
    bool placeholderUnderItem = false;
    std::atomic<int> ticks{0};
    std::atomic<int> progressWakeups{0};
    std::atomic<int> ends{0};
    RECT placeholderRect{};
    HTREEITEM loadingItem = nullptr;

    void DrawPlaceholder(bool on) { m_drawIcon = on; }

    HTREEITEM Add(HTREEITEM parent, const char* text, int children = 1) {
        TVINSERTSTRUCTA insert{};
        insert.hParent = parent;
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT | TVIF_CHILDREN;
        insert.item.pszText = const_cast<char*>(text);
        insert.item.cChildren = children;
        return (HTREEITEM)SendMessage(TVM_INSERTITEMA, 0, (LPARAM)&insert);
    }
    int ChildCount(HTREEITEM item) const {
        int n = 0;
        for (HTREEITEM c = GetChildItem(item); c; c = GetNextSiblingItem(c)) ++n;
        return n;
    }

protected:
    void OnLoadBegin(HTREEITEM placeholder) override {
        loadingItem = placeholder;
        placeholderTexts.push_back(GetItemText(placeholder));
        placeholderUnderItem =
            (HTREEITEM)SendMessage(TVM_GETNEXTITEM, TVGN_PARENT, (LPARAM)placeholder) != nullptr;
        RECT r{};
        std::memcpy(&r, &placeholder, sizeof(placeholder));
        if (SendMessage(TVM_GETITEMRECT, TRUE, (LPARAM)&r)) placeholderRect = r;
    }
    void OnLoadProgress(bool isTick, int, int) override { ++(isTick ? ticks : progressWakeups); }
    void OnLoadEnd() override { ++ends; }
    bool PopulateChildren(HTREEITEM item) override {
        const std::string text = GetItemText(item);
        populated.push_back(text);
        const Level level = levels[text];
        SetProgress(level.children, 0);
        for (int i = 0; i < level.children; ++i) {
            if (level.delayMs) Sleep(level.delayMs);
            if (level.fail && i == level.children / 2) throw std::runtime_error("enumeration failed");
            if (level.midLoad && i == 0) level.midLoad();
            Add(item, (text + "." + std::to_string(i)).c_str(), 0);
            StepProgress(1);
        }
        return level.final;
    }
};

class LazyTreeTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(nullptr, host.Tree()); }
    TestTree tree;
    TreeHost host{tree};
};

TEST_F(LazyTreeTest, ALevelLoadsOnceBehindThePlaceholderWithTicksAndProgress) {
    HTREEITEM a = tree.Add(TVI_ROOT, "a");
    tree.levels["a"] = L(5, 80);
    tree.SetTimerPeriod(20);
    ASSERT_TRUE(tree.Expand(a));
    EXPECT_EQ(std::vector<std::string>{"a"}, tree.populated);
    EXPECT_EQ(std::vector<std::string>{"Loading..."}, tree.placeholderTexts);
    EXPECT_TRUE(tree.placeholderUnderItem);
    EXPECT_GE(tree.ticks, 2) << "400 ms of loading at a 20 ms period";
    EXPECT_GE(tree.progressWakeups, 2) << "the first wake-up and at least one step";
    EXPECT_EQ(1, tree.ends);
    EXPECT_FALSE(tree.IsLoading());
    EXPECT_EQ(5, tree.ChildCount(a)) << "the placeholder is gone";
    EXPECT_EQ("a.0", tree.GetItemText(tree.GetChildItem(a)));

    // Collapsed and expanded again: the children stay, nothing loads.
    tree.Expand(a, TVE_COLLAPSE);
    tree.Expand(a);
    EXPECT_EQ(1u, tree.populated.size());
    EXPECT_EQ(1u, tree.placeholderTexts.size());
    EXPECT_EQ(5, tree.ChildCount(a));

    // With no timer there are no ticks, but progress is still painted.
    HTREEITEM b = tree.Add(TVI_ROOT, "b");
    tree.levels["b"] = L(3, 50);
    tree.SetTimerPeriod(0);
    tree.ticks = 0;
    tree.progressWakeups = 0;
    tree.Expand(b);
    EXPECT_EQ(0, tree.ticks);
    EXPECT_GE(tree.progressWakeups, 1);
}

TEST_F(LazyTreeTest, ExpandButtonsFollowWhatTheLevelSays) {
    HTREEITEM empty = tree.Add(TVI_ROOT, "empty");
    HTREEITEM drive = tree.Add(TVI_ROOT, "no medium");
    tree.levels["empty"] = L(0, 0, true);
    tree.levels["no medium"] = L(0, 0, false);

    tree.Expand(empty);
    EXPECT_EQ(0, tree.GetChildrenFlag(empty)) << "an empty level loses its button";

    tree.Expand(drive);
    EXPECT_EQ(1, tree.GetChildrenFlag(drive)) << "the button stays";
    EXPECT_EQ(0u, tree.GetItemState(drive, TVIS_EXPANDED) & TVIS_EXPANDED);
    tree.Expand(drive);
    EXPECT_EQ((std::vector<std::string>{"empty", "no medium", "no medium"}), tree.populated)
        << "the next expansion loads again";

    // The medium has arrived.
    tree.levels["no medium"] = L(2, 0, false);
    tree.Expand(drive);
    EXPECT_EQ(2, tree.ChildCount(drive));
    EXPECT_NE(0u, tree.GetItemState(drive, TVIS_EXPANDED) & TVIS_EXPANDED);
}

TEST_F(LazyTreeTest, ABrokenLoadLeavesNoIndicatorRunning) {
    HTREEITEM broken = tree.Add(TVI_ROOT, "broken");
    tree.levels["broken"] = L(6, 30, true, true);
    tree.SetTimerPeriod(10);
    tree.Expand(broken);
    EXPECT_EQ(1u, tree.populated.size());
    EXPECT_FALSE(tree.IsLoading());
    EXPECT_EQ(1, tree.ends);
    const int ticks = tree.ticks;
    PumpFor(150);
    EXPECT_EQ(ticks, tree.ticks) << "the timer was killed with the load";
}

TEST_F(LazyTreeTest, TheSnapshotRepaintsTheWindowDuringALoad) {
    // The placeholder row is on screen when the snapshot is taken. Once the
    // placeholder is deleted, and before any child is in, only the snapshot
    // can still show text in that row.
    tree.DrawPlaceholder(true);
    HTREEITEM slow = tree.Add(TVI_ROOT, "slow");
    int covered = -1, wakeupsBefore = 0, wakeupsAfter = 0;
    tree.levels["slow"] = L(4, 20);
    tree.levels["slow"].midLoad = [&] {
        // What uncovering the window asks of it: an erase and a repaint. (A
        // real covering window adds nothing here, and one destroyed this
        // quickly can meet an X error under Xvfb.)
        wakeupsBefore = tree.progressWakeups;
        RedrawWindow(tree.m_hwnd, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ERASENOW);
        // The indicator thread answers the signal in its own time.
        for (int i = 0; i < 300 && tree.progressWakeups == wakeupsBefore; ++i) Sleep(10);
        wakeupsAfter = tree.progressWakeups;
        covered = PixelsOtherThan(tree.m_hwnd, tree.placeholderRect, tree.BackgroundColor());
    };
    tree.Expand(slow);
    ASSERT_FALSE(IsRectEmpty(&tree.placeholderRect));
    EXPECT_GT(covered, 0) << "\"Loading...\" still shows after the repaint";
    EXPECT_GT(wakeupsAfter, wakeupsBefore) << "the indicator paints again over the snapshot";
}

TEST_F(LazyTreeTest, NewChildrenAreScrolledIntoViewWithoutLosingTheItem) {
    HTREEITEM last = nullptr;
    for (int i = 0; i < 30; ++i) last = tree.Add(TVI_ROOT, ("root " + std::to_string(i)).c_str());
    tree.SendMessage(TVM_ENSUREVISIBLE, 0, (LPARAM)last);
    tree.levels["root 29"] = L(3);
    tree.Expand(last);
    HTREEITEM lastChild = tree.GetChildItem(last);
    while (HTREEITEM next = tree.GetNextSiblingItem(lastChild)) lastChild = next;
    RECT r{};
    std::memcpy(&r, &lastChild, sizeof(lastChild));
    EXPECT_TRUE(tree.SendMessage(TVM_GETITEMRECT, TRUE, (LPARAM)&r)) << "the last child is visible";

    HTREEITEM many = tree.Add(TVI_ROOT, "many");
    tree.SendMessage(TVM_ENSUREVISIBLE, 0, (LPARAM)many);
    tree.levels["many"] = L(200);
    tree.Expand(many);
    EXPECT_EQ(many, (HTREEITEM)tree.SendMessage(TVM_GETNEXTITEM, TVGN_FIRSTVISIBLE, 0))
        << "more children than fit: the item itself stays at the top";
}

TEST_F(LazyTreeTest, TheIndicatorIsAProgressBarWithItsValueWhileALevelLoads) {
    HTREEITEM a = tree.Add(TVI_ROOT, "a");
    const struct {
        int total, current;
        const char* value;
    } table[] = {
        {4, 0, "0%"},
        {4, 1, "25%"},
        {3, 2, "66%"},
        {3, 3, "100%"},
        // Without a total, as full as the curve draws the bar.
        {0, 0, "0%"},
        {0, 10, "94%"},
        {0, 1000, "100%"},
    };
    std::vector<std::string> values;
    std::string name, action = "<unread>";
    LONG state = -1;
    bool placed = false;
    RECT place{}, row{};
    tree.levels["a"] = L(1);
    tree.levels["a"].midLoad = [&] {
        AccessibleProbe bar = AccessibleProbe::OfWindow(tree).ChildWithRole(ROLE_SYSTEM_PROGRESSBAR);
        if (!bar) return;
        name = bar.Name();
        state = bar.State();
        action = bar.DefaultAction();
        placed = bar.Place(place);
        for (const auto& row : table) {
            tree.SetProgress(row.total, row.current);
            values.push_back(bar.Value());
        }
    };
    ASSERT_TRUE(tree.Expand(a));
    ASSERT_EQ(std::size(table), values.size())
        << "the tree's children include a progress bar during the load";
    for (size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(table[i].value, values[i]) << table[i].total << " " << table[i].current;
    EXPECT_EQ("Loading...", name);
    EXPECT_TRUE(state & STATE_SYSTEM_READONLY);
    EXPECT_EQ("", action) << "it only shows";
    // It stands where the placeholder stood, the row the first child takes.
    ASSERT_TRUE(placed);
    HTREEITEM first = tree.GetChildItem(a);
    std::memcpy(&row, &first, sizeof(first));
    ASSERT_TRUE(tree.SendMessage(TVM_GETITEMRECT, FALSE, (LPARAM)&row));
    MapWindowPoints(tree.m_hwnd, nullptr, reinterpret_cast<POINT*>(&row), 2);
    EXPECT_TRUE(EqualRect(&row, &place))
        << place.left << "," << place.top << " " << row.left << "," << row.top;

    EXPECT_FALSE(AccessibleProbe::OfWindow(tree).ChildWithRole(ROLE_SYSTEM_PROGRESSBAR))
        << "gone with the load";
}

// What a screen reader's event hook hears of a load: the progress bar
// shown, each new percent, the bar hidden. (Heard out of context, as here,
// the events arrive once the load is over and the thread reads messages.)
struct HeardEvents {
    HWND tree = nullptr;
    std::vector<std::string> heard;
    static HeardEvents* current;
    static void CALLBACK OnEvent(HWINEVENTHOOK, DWORD event, HWND wnd, LONG object, LONG child, DWORD,
                                 DWORD) {
        if (!current || wnd != current->tree || object != OBJID_CLIENT || child != kExtraChildBase) return;
        current->heard.push_back(event == EVENT_OBJECT_SHOW   ? "show"
                                 : event == EVENT_OBJECT_HIDE ? "hide"
                                                              : "value");
    }
};
HeardEvents* HeardEvents::current = nullptr;

TEST_F(LazyTreeTest, AScreenReaderHearsTheIndicatorComeChangeAndGo) {
    HTREEITEM a = tree.Add(TVI_ROOT, "a");
    tree.levels["a"] = L(4);
    HeardEvents events;
    events.tree = tree.m_hwnd;
    HeardEvents::current = &events;
    HWINEVENTHOOK hook =
        SetWinEventHook(EVENT_OBJECT_SHOW, EVENT_OBJECT_VALUECHANGE, nullptr, &HeardEvents::OnEvent,
                        GetCurrentProcessId(), GetCurrentThreadId(), WINEVENT_OUTOFCONTEXT);
    ASSERT_TRUE(hook);
    tree.Expand(a);
    PumpFor(100);
    UnhookWinEvent(hook);
    HeardEvents::current = nullptr;
    // From 0 to 100 in four steps.
    EXPECT_EQ((std::vector<std::string>{"show", "value", "value", "value", "value", "hide"}), events.heard);
}

TEST(LoadingBar, CountsOrTheCurveWhenTheTotalIsUnknown) {
    const struct {
        int total, current, width;
    } cases[] = {
        {4, 0, 0},     {4, 1, 12},          {4, 4, 50},   {3, 2, 33},   {1, 1, 50},    {10, 20, 50},
        {0, 0, 0},     {0, 1, 8},           {0, 2, 16},   {0, 3, 23},   {0, 4, 29},    {0, 5, 34},
        {0, 10, 47},   {0, 13, 49},         {-1, 13, 49}, {0, 100, 50}, {0, 1774, 50}, {0, 1775, 50},
        {0, 5000, 50}, {0, 2147483647, 50}, {0, -3, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.width, LoadingBarWidth(c.total, c.current)) << c.total << " " << c.current;
    // The curve never goes back.
    for (int n = 1; n < 3000; ++n) ASSERT_LE(LoadingBarWidth(0, n - 1), LoadingBarWidth(0, n)) << n;
}

}  // namespace
