// The view onto the buffer: lazy scrolling, window size changes, keys and scroll bars.
#include <gtest/gtest.h>

#include <string>

#include "console_test_support.h"

namespace {

class View : public ::testing::Test {
protected:
    TConsole console;
};

}  // namespace

TEST_F(View, LazyLineFeedsMergeIntoOneQueuedScrollUntilHalfTheView)
{
    Configure(console, coLazyWrite | coAutoTracking | coFixedPitchOnly, 80, 50);
    Show(console, 80, 20);
    ASSERT_EQ(console.VisibleRows(), 20);
    console.Write(std::string(49, '\n'));
    PumpMessages();
    ASSERT_EQ(console.CursorY(), 49);
    ASSERT_EQ(console.OriginY(), 30);

    console.Write("\n");
    console.Write("\n");
    console.Write("\n");
    std::vector<MSG> scrolls = TakeQueued(console.Handle(), UM_SCROLL_BY);
    ASSERT_EQ(scrolls.size(), 1u);
    EXPECT_EQ(scrolls[0].wParam, 0u);
    EXPECT_EQ(scrolls[0].lParam, 3);
    EXPECT_EQ(console.OriginY(), 27) << "the view still shows the same text until the move";
    EXPECT_EQ(TakeQueued(console.Handle(), UM_TRACK_CURSOR).size(), 1u)
        << "one per batch of writes";
    PostMessageA(console.Handle(), UM_SCROLL_BY, 0, 3);  // put back

    console.Write(std::string(7, '\n'));
    EXPECT_TRUE(TakeQueued(console.Handle(), UM_SCROLL_BY).empty())
        << "the tenth was carried out at once";
    EXPECT_EQ(console.OriginY(), 30);
    EXPECT_EQ(console.FirstRow(), 10);
}

TEST_F(View, SizeChangesKeepTheOriginWithinTheNewMaximum)
{
    Configure(console, coAutoTracking | coFixedPitchOnly, 80, 50);
    Show(console, 40, 10);
    console.ScrollTo(70, 45);
    EXPECT_EQ(console.OriginX(), 40);
    EXPECT_EQ(console.OriginY(), 40);

    ResizeToCells(console, 40, 20);
    EXPECT_EQ(console.MaxOriginY(), 30);
    EXPECT_EQ(console.OriginY(), 30) << "grown: rows 30 to 49 show";
    ResizeToCells(console, 20, 10);
    EXPECT_EQ(console.OriginX(), 40) << "shrunk: the left column stays";
    EXPECT_EQ(console.OriginY(), 30) << "shrunk: the top row stays";

    console.Write("x");  // the cursor at (1, 0) comes back into view
    EXPECT_LE(console.OriginX(), 1);
    EXPECT_EQ(console.OriginY(), 0);

    ResizeToCells(console, 100, 60);
    EXPECT_EQ(console.MaxOriginX(), 0);
    EXPECT_EQ(console.MaxOriginY(), 0);
    int low = -1, high = -1;
    GetScrollRange(console.Handle(), SB_VERT, &low, &high);
    EXPECT_EQ(low, 0);
    EXPECT_EQ(high, 1) << "the bar shows even when all text fits";
    GetScrollRange(console.Handle(), SB_HORZ, &low, &high);
    EXPECT_EQ(high, 1);
}

TEST_F(View, KeysMoveTheView)
{
    Configure(console, coFixedPitchOnly, 80, 50);
    Show(console, 40, 10);
    PressKey(console.Handle(), VK_END);
    EXPECT_EQ(console.OriginX(), 40);
    PressKey(console.Handle(), VK_HOME);
    EXPECT_EQ(console.OriginX(), 0);
    PressKey(console.Handle(), VK_END, true);
    EXPECT_EQ(console.OriginY(), 40);
    EXPECT_EQ(console.OriginX(), 0);
    PressKey(console.Handle(), VK_HOME, true);
    EXPECT_EQ(console.OriginY(), 0);

    PressKey(console.Handle(), VK_RIGHT, true);
    EXPECT_EQ(console.OriginX(), 20) << "half the visible columns";
    PressKey(console.Handle(), VK_RIGHT);
    EXPECT_EQ(console.OriginX(), 21);
    PressKey(console.Handle(), VK_LEFT, true);
    EXPECT_EQ(console.OriginX(), 1);
    PressKey(console.Handle(), VK_LEFT);
    EXPECT_EQ(console.OriginX(), 0);

    PressKey(console.Handle(), VK_NEXT);
    EXPECT_EQ(console.OriginY(), 10) << "the visible rows";
    PressKey(console.Handle(), VK_DOWN);
    EXPECT_EQ(console.OriginY(), 11);
    PressKey(console.Handle(), VK_PRIOR);
    PressKey(console.Handle(), VK_UP);
    EXPECT_EQ(console.OriginY(), 0);

    PressKey(console.Handle(), VK_DOWN, true);
    PressKey(console.Handle(), VK_NEXT, true);
    EXPECT_EQ(console.OriginY(), 0) << "Ctrl+Down and Ctrl+PgDn match nothing";
    PressKey(console.Handle(), VK_END, true, true);
    EXPECT_EQ(console.OriginX(), 40) << "Ctrl+Shift+End is a plain End";
    EXPECT_EQ(console.OriginY(), 0);
}

TEST_F(View, ScrollBarMessagesMoveTheViewAndTheThumb)
{
    Configure(console, coFixedPitchOnly, 80, 50);
    Show(console, 40, 10);
    SendMessageA(console.Handle(), WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 7), 0);
    EXPECT_EQ(console.OriginY(), 7);
    SendMessageA(console.Handle(), WM_VSCROLL, MAKEWPARAM(SB_BOTTOM, 0), 0);
    SendMessageA(console.Handle(), WM_VSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0), 0);
    SendMessageA(console.Handle(), WM_VSCROLL, MAKEWPARAM(SB_LINEUP, 0), 0);
    EXPECT_EQ(console.OriginY(), 39);
    EXPECT_EQ(GetScrollPos(console.Handle(), SB_VERT), 39);
    SendMessageA(console.Handle(), WM_HSCROLL, MAKEWPARAM(SB_PAGERIGHT, 0), 0);
    SendMessageA(console.Handle(), WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 500), 0);
    EXPECT_EQ(console.OriginX(), 40) << "clamped";
    EXPECT_EQ(GetScrollPos(console.Handle(), SB_HORZ), 40);

    console.Clear();
    EXPECT_EQ(GetScrollPos(console.Handle(), SB_VERT), 0) << "the thumbs follow a cleared view";
    EXPECT_EQ(GetScrollPos(console.Handle(), SB_HORZ), 0);
}

TEST_F(View, ClearDropsAPendingLazyScroll)
{
    Configure(console, coLazyWrite | coFixedPitchOnly, 80, 50);
    Show(console, 80, 20);
    console.Write(std::string(52, '\n'));
    console.Clear();
    PumpMessages();
    EXPECT_EQ(console.OriginY(), 0);
}
