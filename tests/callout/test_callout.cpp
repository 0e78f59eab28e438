// Numbers of the callout geometry: frames, side choice, setter clamps and outlines, for a
// 200 x 100 content view at scale 1 with the default appearance unless a test says otherwise.
#include "callout/AttachedWindowGeometry.h"

#include <gtest/gtest.h>

using namespace quorly;
using Seg = CalloutPathSegment;

namespace {

CalloutEnvironment screenOnly()
{
    CalloutEnvironment env;
    env.mainScreenVisibleFrame = QRectF(0, 0, 1280, 1000);
    return env;
}

// A parent window whose frame starts at (100, 100) and is 800 x 600.
CalloutEnvironment inWindow(QRectF visible = QRectF(0, 0, 1280, 1000))
{
    CalloutEnvironment env;
    env.hasWindow = true;
    env.windowOrigin = QPointF(100, 100);
    env.windowFrame = QRectF(100, 100, 800, 600);
    env.windowScreenVisibleFrame = visible;
    env.mainScreenVisibleFrame = QRectF(0, 0, 1280, 1000);
    return env;
}

struct Callout : AttachedWindowGeometry {
    explicit Callout(CalloutEnvironment env = screenOnly(), QSizeF content = QSizeF(200, 100))
    {
        setEnvironment(env);
        setContentSize(content);
    }
    Callout& at(QPointF p, int side, qreal distance = 0)
    {
        attachToPoint(p, side, distance);
        return *this;
    }
};

}  // namespace

TEST(CalloutGeometry, WorkedCaseOnTheRightWithAndWithoutArrow)
{
    Callout c;
    c.at({500, 400}, SideRight);
    EXPECT_EQ(c.frame(), QRectF(500, 400 - 52, 220, 104));
    EXPECT_EQ(c.viewFrame(), QRectF(18, 2, 200, 100));

    const CalloutPath expected = {
        Seg::moveTo({25, 103}),
        Seg::lineTo({211, 103}), Seg::arcTo({219, 103}, {219, 95}, 8),
        Seg::lineTo({219, 9}), Seg::arcTo({219, 1}, {211, 1}, 8),
        Seg::lineTo({25, 1}), Seg::arcTo({17, 1}, {17, 9}, 8),
        Seg::lineTo({17, 42}), Seg::lineTo({1, 52}), Seg::lineTo({17, 62}),
        Seg::lineTo({17, 95}), Seg::arcTo({17, 103}, {25, 103}, 8),
        Seg::close(),
    };
    EXPECT_EQ(c._backgroundPath(), expected);

    // The arrow's room stays; only the two arrow lines go.
    c.setHasArrow(0.0);
    c._redisplay();
    EXPECT_EQ(c.frame(), QRectF(500, 348, 220, 104));
    EXPECT_EQ(c.viewFrame(), QRectF(18, 2, 200, 100));
    CalloutPath withoutArrow = expected;
    withoutArrow.erase(withoutArrow.begin() + 8, withoutArrow.begin() + 10);
    EXPECT_EQ(c._backgroundPath(), withoutArrow);
}

TEST(CalloutGeometry, OriginAndContentOfEverySideWithDistance)
{
    struct Case { int side; QRectF frame; QPointF viewOrigin; };
    // Anchor (500, 400), distance 5, arrow inset 8 + 10 = 18.
    const Case cases[] = {
        {0, {275, 348, 220, 104}, {2, 2}},   {1, {398, 275, 204, 120}, {2, 2}},
        {2, {505, 348, 220, 104}, {18, 2}},  {3, {398, 405, 204, 120}, {2, 18}},
        {4, {275, 382, 220, 104}, {2, 2}},   {5, {275, 314, 220, 104}, {2, 2}},
        {6, {505, 382, 220, 104}, {18, 2}},  {7, {505, 314, 220, 104}, {18, 2}},
        {8, {314, 405, 204, 120}, {2, 18}},  {9, {482, 405, 204, 120}, {2, 18}},
        {10, {314, 275, 204, 120}, {2, 2}},  {11, {482, 275, 204, 120}, {2, 2}},
        {13, {505, 314, 220, 104}, {18, 2}}, {14, {275, 314, 220, 104}, {2, 2}},
    };
    for (const Case& k : cases) {
        Callout c;
        c.at({500, 400}, k.side, 5);
        EXPECT_EQ(c.frame(), k.frame) << "side " << k.side;
        EXPECT_EQ(c.viewFrame().topLeft(), k.viewOrigin) << "side " << k.side;
    }

    // Sides 12 and 15 set directly: origin at the anchor, no room and no arrow.
    Callout c;
    c.at({500, 400}, SideRight);
    for (int side : {SideAutomatic, SideAutomaticLeftOrRight}) {
        c.setPoint({300, 200}, side);
        EXPECT_EQ(c.side(), side);
        EXPECT_EQ(c.frame(), QRectF(300, 200, 204, 104));
        const CalloutPath path = c._backgroundPath();
        EXPECT_EQ(path.size(), 10u);  // move, four edges with their arcs, close
        for (const Seg& s : path)
            EXPECT_TRUE(s.kind == Seg::Close || (s.to.x() >= 1 && s.to.x() <= 203 && s.to.y() >= 1 && s.to.y() <= 103));
    }
}

TEST(CalloutGeometry, SettersClampAndRelayout)
{
    Callout c;
    c.at({500, 400}, SideRight);

    c.setBorderWidth(5);
    EXPECT_EQ(c.borderWidth(), 2);
    c.setBorderWidth(1);

    // Half the short side with margins, less the arrow base: (100 + 4 - 20) / 2.
    c.setCornerRadius(60);
    EXPECT_EQ(c.cornerRadius(), 42);
    c.setCornerRadius(-3);
    EXPECT_EQ(c.cornerRadius(), 0);
    c.setCornerRadius(8);

    // The short side less the corner, less it again when the corner beside it is round.
    c.setArrowBaseWidth(500);
    EXPECT_EQ(c.arrowBaseWidth(), 104 - 8 - 8);
    // A wide arrow in turn limits the corners.
    c.setCornerRadius(20);
    EXPECT_EQ(c.cornerRadius(), 8);
    c.setDrawsRoundCornerBesideArrow(0.0);
    c.setArrowBaseWidth(500);
    EXPECT_EQ(c.arrowBaseWidth(), 104 - 8);
    c.setDrawsRoundCornerBesideArrow(1.0);
    c.setArrowBaseWidth(20);

    c.setViewMargin(-4);
    EXPECT_EQ(c.viewMargin(), 0);
    EXPECT_EQ(c.frame(), QRectF(500, 350, 216, 100));  // re-laid out through the chain
    c.setViewMargin(5);
    EXPECT_EQ(c.viewFrame(), QRectF(21, 5, 200, 100));
    EXPECT_EQ(c.frame().size(), QSizeF(226, 110));

    c.setArrowHeight(30);
    EXPECT_EQ(c.frame().size(), QSizeF(240, 110));
    EXPECT_EQ(c.viewFrame().topLeft(), QPointF(35, 5));

    c.setHasArrow(0.7);  // truncated
    EXPECT_EQ(c.hasArrow(), 0.0);
}

TEST(CalloutGeometry, CornerBesideArrowOnSide7)
{
    Callout square;
    square.setDrawsRoundCornerBesideArrow(0.0);
    square.at({500, 400}, SideRightExtendingDown);
    const CalloutPath path = square._backgroundPath();
    EXPECT_EQ(path.front(), Seg::moveTo({17, 103}));  // square top-left corner
    const CalloutPath tail(path.end() - 5, path.end());
    const CalloutPath expectedTail = {
        Seg::lineTo({17, 83}), Seg::lineTo({1, 93}), Seg::lineTo({17, 103}), Seg::lineTo({17, 103}), Seg::close(),
    };
    EXPECT_EQ(tail, expectedTail);
    // The tip lies one pixel below the anchor either way.
    EXPECT_EQ(square.frame().y() + 93, 399);

    Callout round;
    round.at({500, 400}, SideRightExtendingDown);
    const CalloutPath roundPath = round._backgroundPath();
    EXPECT_EQ(roundPath.front(), Seg::moveTo({25, 103}));
    const CalloutPath roundTail(roundPath.end() - 6, roundPath.end());
    const CalloutPath expectedRoundTail = {
        Seg::lineTo({17, 75}), Seg::lineTo({1, 85}), Seg::lineTo({17, 95}),
        Seg::lineTo({17, 95}), Seg::arcTo({17, 103}, {25, 103}, 8), Seg::close(),
    };
    EXPECT_EQ(roundTail, expectedRoundTail);
    EXPECT_EQ(round.frame().y() + 85, 399);
}

TEST(CalloutGeometry, ArrowsOnTheOtherEdges)
{
    // Side 5 draws its arrow straight after the top-right arc.
    Callout left;
    left.at({500, 400}, SideLeftExtendingDown);
    const CalloutPath l = left._backgroundPath();
    EXPECT_EQ(l[2], Seg::arcTo({203, 103}, {203, 95}, 8));
    EXPECT_EQ(l[3].to, QPointF(219, 85));  // the tip
    EXPECT_EQ(l[4].to, QPointF(203, 75));

    // Below: the arrow sits on the top edge, centred; its tip points up at the anchor.
    Callout below;
    below.at({500, 400}, SideBelow);
    const CalloutPath b = below._backgroundPath();
    EXPECT_EQ(b[1], Seg::lineTo({92, 103}));
    EXPECT_EQ(b[2].to, QPointF(102, 119));
    EXPECT_EQ(b[3].to, QPointF(112, 103));
    EXPECT_EQ(below.frame().x() + 102, 500);

    // Above extending right: the arrow ends the bottom edge next to the bottom-left corner.
    Callout above;
    above.at({500, 400}, SideAboveExtendingRight);
    const CalloutPath a = above._backgroundPath();
    const auto lineToBottomArrow = std::find(a.begin(), a.end(), Seg::lineTo({29, 17}));
    ASSERT_NE(lineToBottomArrow, a.end());
    EXPECT_EQ((lineToBottomArrow + 1)->to, QPointF(19, 1));
    EXPECT_EQ(*(lineToBottomArrow + 3), Seg::lineTo({9, 17}));  // on to the rounded corner
    EXPECT_EQ(above.frame().x() + 19, 501);  // inset 18, plus the edge's pixel alignment
}

TEST(CalloutGeometry, AutomaticSide)
{
    // Room below: centred below; near the container's left edge, extending right.
    EXPECT_EQ(Callout(inWindow()).at({400, 300}, SideAutomatic).side(), SideBelow);
    EXPECT_EQ(Callout(inWindow()).at({50, 300}, SideAutomatic).side(), SideBelowExtendingRight);
    EXPECT_EQ(Callout(inWindow()).at({750, 300}, SideAutomatic).side(), SideBelowExtendingLeft);

    // No room below on the screen: to the right, or left when the right is full too.
    const QRectF narrow(0, 300, 1280, 700);
    EXPECT_EQ(Callout(inWindow(narrow)).at({400, 300}, SideAutomatic).side(), SideRight);
    EXPECT_EQ(Callout(inWindow(QRectF(0, 300, 700, 700))).at({400, 300}, SideAutomatic).side(), SideLeft);
    // Right, but the anchor is low in the container: extending up.
    EXPECT_EQ(Callout(inWindow(QRectF(0, 100, 1280, 900))).at({400, 20}, SideAutomatic).side(),
              SideRightExtendingUp);

    // Without a window the main screen decides and is the container.
    EXPECT_EQ(Callout().at({20, 500}, SideAutomatic).side(), SideBelowExtendingRight);
}

TEST(CalloutGeometry, LeftOrRightChoice)
{
    Callout right(inWindow());
    right.attachToLeftAndRightPoints({50, 300}, {600, 300}, 0);
    EXPECT_EQ(right.side(), SideRightExtendingDownKeptInside);
    EXPECT_EQ(right.point(), QPointF(600, 300));

    Callout left(inWindow());
    left.attachToLeftAndRightPoints({300, 300}, {1000, 300}, 0);
    EXPECT_EQ(left.side(), SideLeftExtendingDownKeptInside);
    EXPECT_EQ(left.point(), QPointF(300, 300));

    // Fits neither beside the right point nor left of the left point: below the left one.
    Callout below(inWindow(QRectF(0, 0, 1000, 1000)));
    below.attachToLeftAndRightPoints({50, 300}, {700, 300}, 0);
    EXPECT_EQ(below.side(), SideBelow);
    EXPECT_EQ(below.point(), QPointF(50, 300));
    EXPECT_EQ(below.frame(), QRectF(150 - 102, 400 - 120, 204, 120));
}

TEST(CalloutGeometry, KeptInsidePushedUpWithArrowFollowingAnchor)
{
    // Not pushed: the arrow points 2 below the anchor at (700, 400) on screen.
    Callout free(inWindow());
    free.attachToLeftAndRightPoints({50, 300}, {600, 300}, 0);
    EXPECT_EQ(free.frame(), QRectF(700, 400 - 86, 220, 104));
    const CalloutPath f = free._backgroundPath();
    EXPECT_EQ(f[f.size() - 6], Seg::lineTo({17, 86 - 10 - 2}));
    EXPECT_EQ(free.frame().y() + f[f.size() - 5].to.y(), 398);

    // Anchor 20 above the window's bottom: the callout stops at the window's bottom and
    // the arrow slides down its left edge.
    Callout pushed(inWindow());
    pushed.attachToLeftAndRightPoints({50, 20}, {600, 20}, 0);
    EXPECT_EQ(pushed.frame(), QRectF(700, 100, 220, 104));
    const CalloutPath p = pushed._backgroundPath();
    EXPECT_EQ(p[p.size() - 6], Seg::lineTo({17, 8}));
    EXPECT_EQ(p[p.size() - 5], Seg::lineTo({1, 18}));
    EXPECT_EQ(pushed.frame().y() + 18, 118);

    // Side 14 keeps inside the same way, the arrow on the right edge.
    Callout left(inWindow());
    left.attachToLeftAndRightPoints({300, 20}, {1000, 20}, 0);
    EXPECT_EQ(left.frame(), QRectF(400 - 220, 100, 220, 104));
    const CalloutPath l = left._backgroundPath();
    const auto toArrow = std::find(l.begin(), l.end(), Seg::lineTo({203, 20 + 10 - 2}));
    ASSERT_NE(toArrow, l.end());
    EXPECT_EQ((toArrow + 1)->to, QPointF(219, 18));

    // Without a window the anchor's own y stands for its height above the bottom.
    Callout screen;
    screen.at({500, 60}, SideRightExtendingDownKeptInside);
    EXPECT_EQ(screen.frame().y(), 0);
    const CalloutPath s = screen._backgroundPath();
    EXPECT_EQ(s[s.size() - 5], Seg::lineTo({1, 58}));
}

// A small window at the top of the screen: kept inside its window, the callout would reach
// above the screen's top; it stops there, and its arrow still points at the anchor, or as
// near as its edge allows.
TEST(CalloutGeometry, KeptInsideNeverGoesAboveTheScreensTop)
{
    CalloutEnvironment env = inWindow();
    env.windowOrigin = QPointF(100, 880);
    env.windowFrame = QRectF(100, 880, 400, 120);  // its top at the screen's visible top
    Callout tall(env, QSizeF(200, 300));
    tall.attachToLeftAndRightPoints({50, 60}, {300, 60}, 0);
    ASSERT_EQ(tall.side(), SideRightExtendingDownKeptInside);
    EXPECT_EQ(tall.frame(), QRectF(400, 1000 - 304, 220, 304));
    const CalloutPath t = tall._backgroundPath();
    EXPECT_EQ(tall.frame().y() + t[t.size() - 5].to.y(), 940 - 2);

    Callout high(env, QSizeF(200, 300));
    high.attachToLeftAndRightPoints({50, 118}, {300, 118}, 0);
    const CalloutPath h = high._backgroundPath();
    EXPECT_EQ(h[h.size() - 4].to, QPointF(17, 295));  // the arrow ends where the corner begins
    EXPECT_EQ(h[h.size() - 3], Seg::lineTo({17, 295}));
}

TEST(CalloutGeometry, FollowsItsWindowAndChoosesItsSideAgain)
{
    Callout c(inWindow());
    c.attachToLeftAndRightPoints({50, 300}, {600, 300}, 0);
    EXPECT_EQ(c.frame(), QRectF(700, 400 - 86, 220, 104));

    // The window went 100 right and 50 up: the same anchors, the frame goes along.
    CalloutEnvironment env = inWindow();
    env.windowOrigin += QPointF(100, 50);
    env.windowFrame.translate(100, 50);
    c.setEnvironment(env);
    c.followAnchors({50, 300}, {600, 300});
    EXPECT_EQ(c.frame(), QRectF(800, 450 - 86, 220, 104));

    // So far right that it no longer fits beside the right point: left of the left one,
    // where it would have opened there.
    env.windowOrigin = QPointF(500, 100);
    env.windowFrame = QRectF(500, 100, 800, 600);
    c.setEnvironment(env);
    c.followAnchors({50, 300}, {600, 300});
    EXPECT_EQ(c.side(), SideLeftExtendingDownKeptInside);
    EXPECT_EQ(c.frame().x(), 550 - 220);

    // A callout given its side keeps it.
    Callout fixed(inWindow());
    fixed.at({50, 300}, SideRight);
    fixed.setEnvironment(env);
    fixed.followAnchors({60, 300}, {});
    EXPECT_EQ(fixed.side(), SideRight);
    EXPECT_EQ(fixed.frame().x(), 560);
}
