// The callout window on Qt's offscreen platform: where it lands on the screen, what its
// drawn outline looks like, and what becomes of its content widget.
#include "callout/desktop/MAAttachedWindow.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

using namespace quorly;

namespace {

// Screen coordinates of the callout (y upwards) for a Qt screen point.
qreal screenBottom()
{
    const QRect g = QGuiApplication::primaryScreen()->geometry();
    return g.y() + g.height();
}

QWidget* content200x100()
{
    auto* view = new QWidget;
    view->resize(200, 100);
    return view;
}

}  // namespace

TEST(CalloutWindow, DrawsFilledOutlineWithArrowAtAnchor)
{
    std::unique_ptr<QWidget> view(content200x100());
    const qreal bottom = screenBottom();
    auto callout = MAAttachedWindow::initWithViewAttachedToPointOnSide(view.get(), {300, bottom - 200}, SideRight);
    ASSERT_TRUE(callout);
    // 220 x 104, left edge at the anchor, centred on it; Qt counts y downwards.
    EXPECT_EQ(callout->geometry(), QRect(300, 200 - 52, 220, 104));
    EXPECT_EQ(view->geometry(), QRect(18, 2, 200, 100));
    callout->show();

    const QImage image = callout->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(image.size(), QSize(220, 104));
    auto alpha = [&](int x, int y) { return qAlpha(image.pixel(x, y)); };

    // Inside: the default fill, a dark grey at three quarters.
    const QColor inside = image.pixelColor(110, 52);
    EXPECT_NEAR(inside.alpha(), 191, 2);
    EXPECT_NEAR(inside.red(), 26, 3);
    EXPECT_EQ(inside.red(), inside.blue());
    // The border: white, opaque, two pixels wide inside the outline's right edge.
    EXPECT_EQ(image.pixelColor(217, 52), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(218, 52), QColor(Qt::white));
    EXPECT_NE(image.pixelColor(215, 52), QColor(Qt::white));

    // The arrow reaches from the left edge to one pixel off the anchor, at its height.
    EXPECT_GT(alpha(3, 52), 200);
    EXPECT_GE(alpha(10, 52), 190);  // filled within
    EXPECT_EQ(alpha(0, 52), 0);
    EXPECT_EQ(alpha(3, 45), 0);
    EXPECT_EQ(alpha(3, 59), 0);

    // Outside the outline: transparent.
    for (const QPoint p : {QPoint(0, 0), QPoint(219, 0), QPoint(219, 103), QPoint(5, 10), QPoint(5, 95),
                           QPoint(17, 1)})
        EXPECT_EQ(alpha(p.x(), p.y()), 0) << p.x() << "," << p.y();
    EXPECT_EQ(callout->mask().boundingRect(), QRect(1, 1, 218, 102));
}

TEST(CalloutWindow, AnchorInParentAndFollowingContent)
{
    QWidget parent;
    parent.setGeometry(100, 100, 400, 300);
    parent.show();
    std::unique_ptr<QWidget> view(content200x100());

    // 50 right of the parent's left edge, 100 above its bottom (Qt y 400 - 100 = 300).
    auto callout = MAAttachedWindow::initWithViewAttachedToPointInWindowOnSideAtDistance(view.get(), {50, 100},
                                                                                         &parent, SideRight, 0);
    ASSERT_TRUE(callout);
    EXPECT_EQ(callout->geometry(), QRect(150, 300 - 52, 220, 104));
    callout->show();

    // A content widget that grows takes the callout along, still centred on the anchor.
    view->resize(200, 140);
    EXPECT_EQ(callout->geometry(), QRect(150, 300 - 72, 220, 144));
    EXPECT_EQ(callout->backgroundImage().size(), QSize(220, 144));

    // Moved to another anchor and side.
    callout->setPoint({50, 100}, SideBelow);
    EXPECT_EQ(callout->geometry(), QRect(150 - 102, 300, 204, 160));
    EXPECT_EQ(view->geometry(), QRect(2, 18, 200, 140));

    // Closing from the callout closes the window it belongs to.
    callout->performClose();
    EXPECT_FALSE(parent.isVisible());
    EXPECT_TRUE(callout->isVisible());
}

TEST(CalloutWindow, BorrowsItsContent)
{
    EXPECT_FALSE(MAAttachedWindow::initWithViewAttachedToPoint(nullptr, {10, 10}));
    EXPECT_FALSE(MAAttachedWindow::initWithViewAttachedToLeftPointAttachedToRightPointInWindowAtDistance(
        nullptr, {10, 10}, {20, 10}, nullptr, 0));

    QWidget home;
    QWidget* view = content200x100();
    view->setParent(&home);
    {
        auto callout = MAAttachedWindow::initWithViewAttachedToPoint(view, {400, 400});
        ASSERT_TRUE(callout);
        EXPECT_EQ(view->parentWidget(), callout.get());
        EXPECT_EQ(callout->contentView(), view);
        EXPECT_NE(callout->side(), SideAutomatic);
        EXPECT_TRUE(callout->canBecomeKeyWindow());
        EXPECT_FALSE(callout->canBecomeMainWindow());
    }
    // Back home when the callout goes, ready for the next one.
    EXPECT_EQ(view->parentWidget(), &home);
}
