// The framework layer against real windows: modal loop, idle pass, command
// rule, reflection, data exchange, threads, UI-thread tasks, owning handles
// and layout by anchors.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "framework/controls.h"
#include "framework/dialog.h"
#include "framework/dialog_resize.h"
#include "framework/handles.h"
#include "framework/thread.h"
#include "framework/ui_task.h"

namespace {

constexpr UINT kDone = WM_APP + 1;

class TestDialog : public CDialog {
public:
    TestDialog() : CDialog(200) {
        static const UINT ids[] = {1001, 1002, 2001};
        SetCommandTable(ids, 3);
    }
    std::map<UINT, bool> allowed{{1001, true}, {1002, true}, {2001, true}};
    std::vector<UINT> ran;
    std::atomic<int> kickIdles{0};
    int check = 0;
    std::string text;
    int comboIndex = -1;
    std::vector<UINT> preTranslated;
    std::function<void(TestDialog&)> onDone;

protected:
    bool IsCommandEnabled(UINT id) override { return allowed[id]; }
    bool OnCommand(UINT id, UINT, HWND) override {
        ran.push_back(id);
        return true;
    }
    void DoDataExchange(bool save) override {
        DDX_Check(save, 1003, check);
        DDX_Text(save, 1004, text);
        DDX_CBIndex(save, 1005, comboIndex);
    }
    bool PreTranslateMessage(MSG* msg) override {
        if (msg->message == WM_KEYDOWN) preTranslated.push_back(static_cast<UINT>(msg->wParam));
        return CDialog::PreTranslateMessage(msg);
    }
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override {
        if (msg == kWmKickIdle) ++kickIdles;
        if (msg == kDone && onDone) {
            onDone(*this);
            return true;
        }
        return CDialog::OnMessage(msg, wp, lp, result);
    }
};

// A button that handles its own click, as reflected by its parent.
class SelfClickButton : public CWnd {
public:
    int reflectedClicks = 0;

protected:
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override {
        if (msg == kReflectCommand && HIWORD(wp) == BN_CLICKED) {
            ++reflectedClicks;
            result = 0;
            return true;
        }
        return CWnd::OnMessage(msg, wp, lp, result);
    }
};

TEST(FrameworkDialog, ModalLoopRunsIdlePassAndEndsWithResult) {
    HWND owner =
        CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(owner);
    struct OwnedDialog : TestDialog {
        explicit OwnedDialog(HWND o) { m_parent = o; }
    } dialog(owner);
    bool ownerDisabledInside = false;
    dialog.allowed[1002] = false;
    bool bDisabledAfterIdle = false;
    dialog.onDone = [&](TestDialog& d) {
        ownerDisabledInside = !IsWindowEnabled(owner);
        bDisabledAfterIdle = !IsWindowEnabled(GetDlgItem(d.m_hwnd, 1002));
        d.EndDialog(42);
    };
    // Posted once the loop's first idle pass has run (waiting for that, not
    // for a fixed time, so a busy machine cannot reorder the two).
    dialog.allowed[1001] = true;
    CThread poster;
    ASSERT_TRUE(poster.Create(
        [&] {
            while (dialog.kickIdles == 0) Sleep(5);
            PostMessageA(dialog.m_hwnd, kDone, 0, 0);
            return DWORD(0);
        },
        false));
    INT_PTR result = dialog.DoModal();
    poster.Join();
    EXPECT_EQ(result, 42);
    EXPECT_GT(dialog.kickIdles, 0);
    EXPECT_TRUE(ownerDisabledInside);
    EXPECT_TRUE(bDisabledAfterIdle);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(dialog.m_hwnd, nullptr);
    DestroyWindow(owner);
}

TEST(FrameworkDialog, MenuAndAcceleratorCommandsObeyTheRuleButtonClicksArrive) {
    struct Case {
        UINT id;
        bool allowed;
        HWND fromControl;  // null: menu/accelerator
        bool expectRun;
    };
    TestDialog dialog;
    ASSERT_TRUE(dialog.Create());
    HWND button = GetDlgItem(dialog.m_hwnd, 1001);
    const Case cases[] = {
        {1001, true, nullptr, true}, {1001, false, nullptr, false}, {2001, false, nullptr, false},
        {2001, true, nullptr, true}, {3000, false, nullptr, true},  // not in the table: always runs
        {1001, false, button, true},  // a control's own notification is not a command check
    };
    for (const Case& c : cases) {
        dialog.ran.clear();
        dialog.allowed[c.id] = c.allowed;
        SendMessageA(dialog.m_hwnd, WM_COMMAND, MAKEWPARAM(c.id, c.fromControl ? BN_CLICKED : 0),
                     reinterpret_cast<LPARAM>(c.fromControl));
        EXPECT_EQ(!dialog.ran.empty(), c.expectRun) << "command " << c.id << " allowed " << c.allowed;
    }
    dialog.DestroyWindow();
}

TEST(FrameworkDialog, IdlePassAndMenuPopupApplyTheRule) {
    TestDialog dialog;
    ASSERT_TRUE(dialog.Create());
    HMENU popup = CreatePopupMenu();
    AppendMenuA(popup, MF_STRING, 1001, "A");
    AppendMenuA(popup, MF_STRING, 2001, "X");
    AppendMenuA(popup, MF_STRING, 3000, "not in table");
    EnableMenuItem(popup, 3000, MF_BYCOMMAND | MF_GRAYED);
    for (bool allow : {false, true}) {
        dialog.allowed[1001] = allow;
        dialog.allowed[2001] = !allow;
        SendMessageA(dialog.m_hwnd, kWmKickIdle, 0, 0);
        EXPECT_EQ(IsWindowEnabled(GetDlgItem(dialog.m_hwnd, 1001)) != FALSE, allow);
        SendMessageA(dialog.m_hwnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
        EXPECT_EQ((GetMenuState(popup, 1001, MF_BYCOMMAND) & MF_GRAYED) == 0, allow);
        EXPECT_EQ((GetMenuState(popup, 2001, MF_BYCOMMAND) & MF_GRAYED) == 0, !allow);
        EXPECT_NE(GetMenuState(popup, 3000, MF_BYCOMMAND) & MF_GRAYED, 0u)
            << "items outside the table untouched";
    }
    DestroyMenu(popup);
    dialog.DestroyWindow();
}

TEST(FrameworkDialog, CloseBoxAndEscapeGoThroughCancel) {
    for (UINT how : {UINT(WM_CLOSE), UINT(WM_COMMAND)}) {
        TestDialog dialog;
        ASSERT_TRUE(dialog.Create());
        if (how == WM_CLOSE)
            SendMessageA(dialog.m_hwnd, WM_CLOSE, 0, 0);
        else
            SendMessageA(dialog.m_hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        EXPECT_EQ(dialog.GetResult(), IDCANCEL);
        EXPECT_EQ(dialog.m_hwnd, nullptr) << "a modeless dialog is destroyed by EndDialog";
    }
}

TEST(FrameworkDialog, DataExchangeRoundTrip) {
    TestDialog dialog;
    ASSERT_TRUE(dialog.Create());
    HWND combo = GetDlgItem(dialog.m_hwnd, 1005);
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("zero"));
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("one"));
    dialog.check = 1;
    dialog.text = "some text";
    dialog.comboIndex = 1;
    dialog.UpdateData(false);
    EXPECT_EQ(SendMessageA(GetDlgItem(dialog.m_hwnd, 1003), BM_GETCHECK, 0, 0), BST_CHECKED);
    dialog.check = 0;
    dialog.text.clear();
    dialog.comboIndex = -1;
    dialog.UpdateData(true);
    EXPECT_EQ(dialog.check, 1);
    EXPECT_EQ(dialog.text, "some text");
    EXPECT_EQ(dialog.comboIndex, 1);
    dialog.DestroyWindow();
}

TEST(FrameworkWnd, NotificationsAreReflectedToTheChildAndSubclassEndsWithTheWindow) {
    TestDialog dialog;
    ASSERT_TRUE(dialog.Create());
    SelfClickButton button;
    ASSERT_TRUE(button.SubclassDlgItem(1002, dialog.m_hwnd));
    EXPECT_EQ(CWnd::FromHandle(button.m_hwnd), &button);
    // The dialog handles 1002 itself in OnCommand, so it wins; 1001 would too.
    SendMessageA(dialog.m_hwnd, WM_COMMAND, MAKEWPARAM(1002, BN_CLICKED),
                 reinterpret_cast<LPARAM>(button.m_hwnd));
    EXPECT_EQ(button.reflectedClicks, 0);

    // A parent that declines gets its child's notification reflected.
    struct Declining : CDialog {
        Declining() : CDialog(200) {}
    } plain;
    ASSERT_TRUE(plain.Create());
    SelfClickButton own;
    ASSERT_TRUE(own.SubclassDlgItem(1001, plain.m_hwnd));
    SendMessageA(own.m_hwnd, BM_CLICK, 0, 0);
    EXPECT_EQ(own.reflectedClicks, 1);
    EXPECT_FALSE(own.SubclassWindow(own.m_hwnd)) << "a window is routed through one object only";
    plain.DestroyWindow();
    EXPECT_EQ(own.m_hwnd, nullptr);
    dialog.DestroyWindow();
}

TEST(FrameworkDialog, PreTranslateSeesKeysBeforeDispatch) {
    TestDialog dialog;
    dialog.onDone = [](TestDialog& d) { d.EndDialog(IDOK); };
    CThread poster;
    ASSERT_TRUE(poster.Create(
        [&] {
            while (!dialog.m_hwnd) Sleep(5);
            Sleep(50);
            PostMessageA(GetDlgItem(dialog.m_hwnd, 1004), WM_KEYDOWN, 'Q', 0);
            PostMessageA(dialog.m_hwnd, kDone, 0, 0);
            return DWORD(0);
        },
        false));
    dialog.DoModal();
    poster.Join();
    ASSERT_EQ(dialog.preTranslated.size(), 1u);
    EXPECT_EQ(dialog.preTranslated[0], UINT('Q'));
}

TEST(FrameworkThread, SuspendedStartResumeJoinAndRefusedCreation) {
    std::atomic<int> ran{0};
    CThread thread;
    ASSERT_TRUE(thread.Create(
        [&] {
            ran = 1;
            return DWORD(7);
        },
        true));
    Sleep(50);
    EXPECT_EQ(ran, 0) << "a suspended thread must not run yet";
    EXPECT_TRUE(thread.Resume());
    thread.Join();
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(thread.ExitCode(), 7u);
    EXPECT_FALSE(thread.IsCreated());

    // Joining a thread that was never resumed still ends it.
    CThread never;
    ASSERT_TRUE(never.Create([] { return DWORD(3); }, true));
    never.Join();
    EXPECT_EQ(never.ExitCode(), 3u);

    CThread::FailNextCreates(1);
    CThread refused;
    EXPECT_FALSE(refused.Create([] { return DWORD(0); }, false));
    EXPECT_FALSE(refused.IsCreated());
    EXPECT_TRUE(refused.Create([] { return DWORD(0); }, false)) << "only the next creation fails";
}

// A thread message the pump below counts.
constexpr UINT kThreadNote = WM_APP + 7;
int g_threadNotes = 0;

// Dispatches this thread's messages until done() holds or the time is up.
bool PumpTasksUntil(const std::function<bool()>& done, DWORD timeoutMs = 2000) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs) return false;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!msg.hwnd && msg.message == kThreadNote) ++g_threadNotes;
            DispatchMessageA(&msg);
        }
        Sleep(1);
    }
    return true;
}

TEST(FrameworkUiTasks, TasksFromSeveralThreadsRunInOrderOnTheUiThread) {
    struct Case {
        int threads;
        int tasksEach;
    };
    for (const Case c : {Case{1, 200}, Case{4, 250}, Case{8, 40}}) {
        SCOPED_TRACE(c.threads);
        CUiTasks tasks;
        ASSERT_TRUE(tasks.Open());
        const DWORD ui = GetCurrentThreadId();
        std::vector<std::vector<int>> seen(static_cast<size_t>(c.threads));
        int ran = 0, offThread = 0;
        std::vector<std::thread> posters;
        for (int t = 0; t < c.threads; ++t)
            posters.emplace_back([&, t] {
                for (int i = 0; i < c.tasksEach; ++i)
                    tasks.Post([&, t, i] {
                        if (GetCurrentThreadId() != ui) ++offThread;
                        seen[static_cast<size_t>(t)].push_back(i);
                        ++ran;
                    });
            });
        // The UI thread posts too, from a task: that one runs later, not
        // inside, and after a message the task posted before it.
        bool innerRan = false, innerInside = false, noteFirst = false;
        g_threadNotes = 0;
        tasks.Post([&] {
            PostThreadMessageA(GetCurrentThreadId(), kThreadNote, 0, 0);
            tasks.Post([&] {
                innerRan = true;
                noteFirst = g_threadNotes == 1;
            });
            innerInside = innerRan;
        });
        for (std::thread& p : posters) p.join();
        ASSERT_TRUE(PumpTasksUntil([&] { return ran == c.threads * c.tasksEach && innerRan; }));
        EXPECT_EQ(offThread, 0);
        EXPECT_FALSE(innerInside);
        EXPECT_TRUE(noteFirst);
        for (const std::vector<int>& one : seen) {
            ASSERT_EQ(static_cast<int>(one.size()), c.tasksEach);
            for (int i = 0; i < c.tasksEach; ++i)
                ASSERT_EQ(one[static_cast<size_t>(i)], i) << "in posting order";
        }
    }
}

TEST(FrameworkUiTasks, TasksForAGoneQueueAreDroppedAndFreed) {
    // A task holds a token: it is freed whether the task runs or is dropped.
    struct Case {
        const char* name;
        bool postBeforeClose;  // waits in the queue when it closes
        bool destroyQueue;     // the owner goes, not just closes
        bool delayed;          // PostAfter instead of Post
    };
    const Case cases[] = {
        {"waiting at close", true, false, false},
        {"posted after close", false, false, false},
        {"waiting when the owner goes", true, true, false},
        {"posted through a poster after the owner went", false, true, false},
        {"delayed, waiting at close", true, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto tasks = std::make_unique<CUiTasks>();
        ASSERT_TRUE(tasks->Open());
        const CUiTasks::Poster poster = tasks->GetPoster();
        auto token = std::make_shared<int>(0);
        std::weak_ptr<int> watch = token;
        bool ran = false;
        UiTask task = [&ran, token] { ran = true; };
        token.reset();
        if (c.postBeforeClose) {
            EXPECT_TRUE(c.delayed ? tasks->PostAfter(10, task) : poster.Post(task));
        }
        if (c.destroyQueue)
            tasks.reset();
        else
            tasks->Close();
        if (!c.postBeforeClose) {
            std::thread worker([&] { EXPECT_FALSE(poster.Post(task)); });
            worker.join();
        }
        task = [] {};
        PumpTasksUntil([] { return false; }, 100);
        EXPECT_FALSE(ran);
        EXPECT_TRUE(watch.expired()) << "what the task held is freed";
    }
    // A closed queue opens again and serves once more.
    CUiTasks tasks;
    ASSERT_TRUE(tasks.Open());
    tasks.Close();
    ASSERT_TRUE(tasks.Open());
    bool ran = false, later = false;
    EXPECT_TRUE(tasks.Post([&] { ran = true; }));
    EXPECT_TRUE(tasks.PostAfter(30, [&] { later = true; }));
    EXPECT_TRUE(PumpTasksUntil([&] { return ran && later; }));
}

TEST(FrameworkHandles, MoveTransfersOwnershipAndTheOwnerDeletesOnce) {
    HBITMAP raw = CreateBitmap(4, 4, 1, 1, nullptr);
    ASSERT_TRUE(raw);
    {
        CBitmapHandle a(raw);
        CBitmapHandle b(std::move(a));
        EXPECT_FALSE(a.IsValid());
        EXPECT_EQ(b.Get(), raw);
        CBitmapHandle c;
        c = std::move(b);
        EXPECT_EQ(c.Get(), raw);
        EXPECT_EQ(GetObjectType(raw), static_cast<DWORD>(OBJ_BITMAP));
    }
    EXPECT_EQ(GetObjectType(raw), 0u) << "deleted when its last owner went";

    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE released;
    {
        CKernelHandle h(event);
        released = h.Release();
    }
    EXPECT_NE(WaitForSingleObject(released, 0), WAIT_FAILED) << "Release gives up ownership";
    CloseHandle(released);

    CMenuHandle menu(CreatePopupMenu());
    HMENU m = menu.Get();
    menu.Reset();
    EXPECT_FALSE(IsMenu(m));
}

// A top-level window whose children follow their anchors, as a dialog's do.
class ResizeHost : public CWnd {
public:
    CDialogResize resize;
    int minMaxAsked = 0;

protected:
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override {
        if (msg == WM_SIZE) {
            result = DefProc(msg, wp, lp);
            resize.Layout();
            return true;
        }
        if (msg == WM_GETMINMAXINFO) {
            ++minMaxAsked;
            resize.ApplyMinimum(*reinterpret_cast<MINMAXINFO*>(lp));
            result = DefProc(msg, wp, lp);
            return true;
        }
        return CWnd::OnMessage(msg, wp, lp, result);
    }
};

RECT ChildRect(HWND parent, HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

SIZE WindowSize(HWND wnd) {
    RECT r{};
    GetWindowRect(wnd, &r);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

// Every anchor kind, from a 200 x 150 client grown by (60, 40) and then
// shrunk as far as the minimum lets it: the window's own first size, or a
// given one 20 x 10 below it.
TEST(FrameworkDialogResize, ControlsFollowTheirAnchorsAndTheMinimumHolds) {
    using R = CDialogResize;
    const struct Row {
        UINT anchors;
        RECT grown;   // client grown by (60, 40)
        RECT shrunk;  // client 20 x 10 below its first size
    } rows[] = {
        {0, {10, 10, 50, 30}, {10, 10, 50, 30}},
        {R::MoveX, {70, 10, 110, 30}, {-10, 10, 30, 30}},
        {R::SizeX, {10, 10, 110, 30}, {10, 10, 30, 30}},
        {R::MoveY, {10, 50, 50, 70}, {10, 0, 50, 20}},
        {R::SizeY, {10, 10, 50, 70}, {10, 10, 50, 20}},
        {R::MoveX | R::MoveY, {70, 50, 110, 70}, {-10, 0, 30, 20}},
        {R::SizeX | R::SizeY, {10, 10, 110, 70}, {10, 10, 30, 20}},
        {R::MoveX | R::SizeY, {70, 10, 110, 70}, {-10, 10, 30, 20}},
        {R::SizeX | R::MoveY, {10, 50, 110, 70}, {10, 0, 30, 20}},
    };
    const RECT first{10, 10, 50, 30};
    for (bool givenMinimum : {false, true}) {
        SCOPED_TRACE(givenMinimum ? "given minimum" : "first size as minimum");
        RECT frame{0, 0, 200, 150};
        AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, 0);
        const SIZE firstSize{frame.right - frame.left, frame.bottom - frame.top};
        HWND wnd = CreateWindowExA(0, "STATIC", "resize", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0,
                                   firstSize.cx, firstSize.cy, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, wnd);
        ResizeHost host;
        ASSERT_TRUE(host.SubclassWindow(wnd));
        std::vector<CDialogResize::Item> items;
        for (size_t i = 0; i < std::size(rows); ++i) {
            const int id = 100 + static_cast<int>(i);
            CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, first.left, first.top,
                            first.right - first.left, first.bottom - first.top, wnd,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
            items.push_back({id, rows[i].anchors});
        }
        const SIZE minimum = givenMinimum ? SIZE{firstSize.cx - 20, firstSize.cy - 10} : firstSize;
        ASSERT_TRUE(
            host.resize.Init(wnd, items.data(), items.size(), givenMinimum ? minimum : SIZE{0, 0}, 99));
        HWND grip = GetDlgItem(wnd, 99);
        ASSERT_NE(nullptr, grip);
        EXPECT_TRUE(GetWindowLongPtrA(grip, GWL_STYLE) & SBS_SIZEGRIP);
        EXPECT_EQ(grip, GetWindow(wnd, GW_CHILD)) << "the grip lies on top of the controls";

        for (bool grow : {true, false}) {
            SCOPED_TRACE(grow ? "grown" : "shrunk to the minimum");
            const SIZE asked = grow ? SIZE{firstSize.cx + 60, firstSize.cy + 40} : SIZE{10, 10};
            SetWindowPos(wnd, nullptr, 0, 0, asked.cx, asked.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            const SIZE got = WindowSize(wnd);
            EXPECT_EQ(grow ? asked.cx : minimum.cx, got.cx);
            EXPECT_EQ(grow ? asked.cy : minimum.cy, got.cy);
            for (size_t i = 0; i < std::size(rows); ++i) {
                // Back at the first size, every control is where it began.
                const RECT want = grow ? rows[i].grown : givenMinimum ? rows[i].shrunk : first;
                const RECT r = ChildRect(wnd, GetDlgItem(wnd, 100 + static_cast<int>(i)));
                EXPECT_TRUE(EqualRect(&want, &r)) << "anchors " << rows[i].anchors << ": " << r.left << ","
                                                  << r.top << "," << r.right << "," << r.bottom;
            }
            RECT client{}, gripRect = ChildRect(wnd, grip);
            GetClientRect(wnd, &client);
            EXPECT_EQ(client.right, gripRect.right);
            EXPECT_EQ(client.bottom, gripRect.bottom);
        }
        EXPECT_GT(host.minMaxAsked, 0);
        DestroyWindow(wnd);
    }
}

TEST(FrameworkDialogResize, InitRefusesAMissingControl) {
    HWND wnd = CreateWindowExA(0, "STATIC", "resize", WS_OVERLAPPEDWINDOW, 0, 0, 200, 150, nullptr, nullptr,
                               nullptr, nullptr);
    ASSERT_NE(nullptr, wnd);
    CDialogResize resize;
    const CDialogResize::Item items[] = {{123, CDialogResize::MoveX}};
    EXPECT_FALSE(resize.Init(wnd, items, 1));
    MINMAXINFO info{};
    info.ptMinTrackSize = POINT{5, 5};
    resize.ApplyMinimum(info);
    EXPECT_EQ(5, info.ptMinTrackSize.x) << "holds no minimum once refused";
    resize.Layout();
    DestroyWindow(wnd);
}

}  // namespace
