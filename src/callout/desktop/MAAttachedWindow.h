#pragma once

#include "callout/AttachedWindowGeometry.h"

#include <QBrush>
#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <utility>

class QAction;

namespace quorly {

// The outline as a painter path, in the coordinates it was worked out in (y upwards).
QPainterPath calloutPainterPath(const CalloutPath& path);

// The callout's background: the outline filled with `fill` and stroked with `border` at
// twice `borderWidth`, kept inside the outline so that the visible border is `borderWidth`
// wide. `pixelSize` is in device pixels; the path's y axis points upwards.
QImage renderCalloutBackground(const CalloutPath& path, QSize pixelSize, const QBrush& fill,
                               const QColor& border, qreal borderWidth);

// A frameless, translucent window with rounded corners and an arrow pointing at an anchor
// in another window (or on the screen), carrying one content widget.
//
// Anchor points are given in the parent widget's coordinates with the origin at its bottom
// left and y upwards (in screen coordinates the same way when there is no parent). The
// content widget is borrowed: the callout shows it and, when it goes, hands it back to the
// parent it had before, so one content widget can serve many callouts.
//
// The callout never runs a modal loop itself: its owner shows it, runs whatever loop it
// needs, then closes and deletes it. An owner that makes it a child window of its parent
// (QWidget::setParent with the callout's window flags) hands ownership to that parent and
// must release() the pointer.
class MAAttachedWindow : public QWidget, public AttachedWindowGeometry {
    Q_OBJECT
public:
    using Ptr = std::unique_ptr<MAAttachedWindow>;

    // The initializers. Each gives nothing (and touches nothing) for a null view. A null
    // window means the point is in screen coordinates.
    static Ptr initWithViewAttachedToPointInWindowOnSideAtDistance(QWidget* view, QPointF point, QWidget* window,
                                                                   CalloutSide side, qreal distance);
    static Ptr initWithViewAttachedToLeftPointAttachedToRightPointInWindowAtDistance(QWidget* view, QPointF left,
                                                                                     QPointF right, QWidget* window,
                                                                                     qreal distance);
    static Ptr initWithViewAttachedToPointInWindowAtDistance(QWidget* view, QPointF point, QWidget* window,
                                                             qreal distance);
    static Ptr initWithViewAttachedToPointOnSideAtDistance(QWidget* view, QPointF point, CalloutSide side,
                                                           qreal distance);
    static Ptr initWithViewAttachedToPointAtDistance(QWidget* view, QPointF point, qreal distance);
    static Ptr initWithViewAttachedToPointInWindow(QWidget* view, QPointF point, QWidget* window);
    static Ptr initWithViewAttachedToPointOnSide(QWidget* view, QPointF point, CalloutSide side);
    static Ptr initWithViewAttachedToPoint(QWidget* view, QPointF point);

    ~MAAttachedWindow() override;

    QWidget* contentView() const { return view_; }
    QWidget* attachedWindow() const { return window_; }

    QBrush windowBackgroundColor() const { return fill_; }
    void setBackgroundColor(const QBrush& fill);
    QColor borderColor() const { return borderColor_; }
    void setBorderColor(const QColor& color);
    // Tiles the image inside the outline; a null image changes nothing.
    void setBackgroundImage(const QPixmap& image);

    // The drawn outline the window shows, in device pixels.
    const QImage& backgroundImage() const { return background_; }

    bool canBecomeKeyWindow() const { return true; }
    bool canBecomeMainWindow() const { return false; }
    bool isExcludedFromWindowsMenu() const { return true; }

    // Menu validation and closing belong to the window the callout is attached to: its
    // parent answers through invokable methods of the same names when it has them.
    bool validateMenuItem(QAction* item);
    void performClose();

    // The scale factor the geometry uses: the device pixel ratio of the parent's screen.
    qreal scaleFactor() const;

    // Where the anchors lie now, left and right, in the parent's coordinates. The callout
    // follows its parent window as a child window does: each time the window moves or
    // changes its size the anchors are asked for again (a row's place changes with the
    // window's height) and an automatic side is chosen again. Without a source the
    // anchors stay as they were given.
    using AnchorSource = std::function<std::pair<QPointF, QPointF>()>;
    void setAnchorSource(AnchorSource source) { anchorSource_ = std::move(source); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    QSizeF contentSize() const override;
    CalloutEnvironment environment() const override;
    void frameDidChange() override;
    void _updateBackground() override;
    void suspendScreenUpdates() override;
    void resumeScreenUpdates() override;

private:
    MAAttachedWindow(QWidget* view, QWidget* window);
    static Ptr create(QWidget* view, QWidget* window);

    void windowDidResize();
    void followParentWindow();

    QPointer<QWidget> view_;
    QPointer<QWidget> viewHome_;
    QPointer<QWidget> window_;
    QBrush fill_;
    QColor borderColor_;
    QImage background_;
    QPixmap backgroundPixmap_;
    int suspended_ = 0;
    AnchorSource anchorSource_;
    QPointer<QWidget> followed_;  // the parent's top-level window, whose moves it follows
    bool followQueued_ = false;
};

}  // namespace quorly
