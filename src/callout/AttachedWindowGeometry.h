#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <optional>
#include <vector>

namespace quorly {

// Where a callout lies relative to its anchor point; for the corner variants also the
// direction in which its body extends from the arrow.
enum CalloutSide : int {
    SideLeft = 0,
    SideBelow = 1,
    SideRight = 2,
    SideAbove = 3,
    SideLeftExtendingUp = 4,
    SideLeftExtendingDown = 5,
    SideRightExtendingUp = 6,
    SideRightExtendingDown = 7,
    SideAboveExtendingLeft = 8,
    SideAboveExtendingRight = 9,
    SideBelowExtendingLeft = 10,
    SideBelowExtendingRight = 11,
    SideAutomatic = 12,
    SideRightExtendingDownKeptInside = 13,
    SideLeftExtendingDownKeptInside = 14,
    SideAutomaticLeftOrRight = 15,
};

// The edge that carries the arrow: the left family has it on the right edge, and so on.
enum class CalloutFamily { Left, Below, Right, Above, None };
CalloutFamily calloutFamily(int side);

// The screens and the parent window as the geometry sees them. Every rectangle and point
// here is in screen space with the origin at the bottom left of the main screen and y
// growing upwards, so that the numbers read like the drawings they describe.
struct CalloutEnvironment {
    bool hasWindow = false;
    QPointF windowOrigin;                             // where the parent's (0, 0) lies
    QRectF windowFrame;                               // the parent window's frame
    std::optional<QRectF> windowScreenVisibleFrame;   // of the screen the parent is on
    QRectF mainScreenVisibleFrame;
    qreal scale = 1.0;
};

// One step of the outline. Arcs follow the tangent construction: from the current point
// towards `corner`, turning with `radius` towards `to`.
struct CalloutPathSegment {
    enum Kind { MoveTo, LineTo, ArcTo, Close };
    Kind kind = MoveTo;
    QPointF to;
    QPointF corner;
    qreal radius = 0;

    static CalloutPathSegment moveTo(QPointF p) { return {MoveTo, p, {}, 0}; }
    static CalloutPathSegment lineTo(QPointF p) { return {LineTo, p, {}, 0}; }
    static CalloutPathSegment arcTo(QPointF corner, QPointF p, qreal r) { return {ArcTo, p, corner, r}; }
    static CalloutPathSegment close() { return {Close, {}, {}, 0}; }
    bool operator==(const CalloutPathSegment&) const = default;
};
using CalloutPath = std::vector<CalloutPathSegment>;

// The point the outline has reached after its last segment.
QPointF calloutPathCurrentPoint(const CalloutPath& path);

// Frame, content placement, side choice and outline of an attached callout, without any
// window. The window class derives from it and fills in the hooks; on its own it serves
// anything that needs the numbers (and the tests that check them).
class AttachedWindowGeometry {
public:
    AttachedWindowGeometry() = default;
    virtual ~AttachedWindowGeometry() = default;
    AttachedWindowGeometry(const AttachedWindowGeometry&) = delete;
    AttachedWindowGeometry& operator=(const AttachedWindowGeometry&) = delete;

    // Initialisation after the view, parent and environment are known: resolves an
    // automatic side once, then works out the geometry and the background.
    void attachToPoint(QPointF point, int side, qreal distance);
    void attachToLeftAndRightPoints(QPointF left, QPointF right, qreal distance);

    // Appearance. The setters keep the values consistent with each other; see each.
    qreal borderWidth() const { return borderWidth_; }
    void setBorderWidth(qreal value);
    qreal viewMargin() const { return viewMargin_; }
    void setViewMargin(qreal value);
    qreal arrowBaseWidth() const { return arrowBaseWidth_; }
    void setArrowBaseWidth(qreal value);
    qreal arrowHeight() const { return arrowHeight_; }
    void setArrowHeight(qreal value);
    qreal hasArrow() const { return hasArrow_ ? 1.0 : 0.0; }
    void setHasArrow(qreal value);
    qreal cornerRadius() const { return cornerRadius_; }
    void setCornerRadius(qreal value);
    qreal drawsRoundCornerBesideArrow() const { return drawsRoundCornerBesideArrow_ ? 1.0 : 0.0; }
    void setDrawsRoundCornerBesideArrow(qreal value);

    // Moves the callout to a new anchor and side. Automatic sides are not resolved here.
    void setPoint(QPointF point, int side);
    // The parent window moved or changed its size: the anchors are given anew (in its
    // coordinates, which may have changed with its size), and a side that was chosen
    // automatically is chosen again for where the window now is, so that the callout
    // keeps pointing at its spot and stays where it fits. `right` counts only for a
    // callout attached to a left and a right point.
    void followAnchors(QPointF left, QPointF right);

    int side() const { return side_; }
    QPointF point() const { return point_; }
    QPointF pointRight() const { return pointRight_; }
    qreal distance() const { return distance_; }
    QRectF frame() const { return frame_; }          // screen space
    QRectF viewFrame() const { return viewFrame_; }  // window space, origin bottom left

    // Used by tests and by users without a window; the window class answers live.
    void setContentSize(QSizeF size) { contentSize_ = size; }
    void setEnvironment(const CalloutEnvironment& env) { environment_ = env; }

    void _updateGeometry();
    int _bestSideForAutomaticPosition() const;
    int _bestSideForAutomaticPositionLR();
    qreal _arrowInset() const;
    CalloutPath _backgroundPath() const;
    void _appendArrowToPath(CalloutPath& path) const;
    void _redisplay();

protected:
    virtual QSizeF contentSize() const { return contentSize_; }
    virtual CalloutEnvironment environment() const { return environment_; }
    // Called after each geometry step with the new frame() and viewFrame().
    virtual void frameDidChange() {}
    // Redraw the outline image and whatever depends on it.
    virtual void _updateBackground() {}
    // Frame and background are about to change / have changed in one visible step.
    virtual void suspendScreenUpdates() {}
    virtual void resumeScreenUpdates() {}

    QPointF toScreen(QPointF windowPoint) const;
    QRectF visibleFrame(const CalloutEnvironment& env) const;
    QRectF container(const CalloutEnvironment& env) const;

    qreal borderWidth_ = 2.0;
    qreal viewMargin_ = 2.0;
    qreal arrowBaseWidth_ = 20.0;
    qreal arrowHeight_ = 16.0;
    bool hasArrow_ = true;
    qreal cornerRadius_ = 8.0;
    bool drawsRoundCornerBesideArrow_ = true;

    QPointF point_;
    QPointF pointRight_;
    int side_ = SideAutomatic;
    int requestedSide_ = SideAutomatic;  // as given at attachment, before it was resolved
    qreal distance_ = 0;
    QRectF viewFrame_;
    QRectF frame_;
    bool resizing_ = false;

private:
    void resolveSide();

    QSizeF contentSize_;
    CalloutEnvironment environment_;
};

}  // namespace quorly
