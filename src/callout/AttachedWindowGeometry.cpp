#include "callout/AttachedWindowGeometry.h"

#include <QtMath>

#include <algorithm>
#include <cmath>

namespace quorly {

namespace {

qreal minX(const QRectF& r) { return r.x(); }
qreal maxX(const QRectF& r) { return r.x() + r.width(); }
qreal minY(const QRectF& r) { return r.y(); }
qreal maxY(const QRectF& r) { return r.y() + r.height(); }

// Where an arrow that follows the anchor starts on its edge: at the anchor, but never so
// that the arrow leaves the outline (the callout was kept below the screen's top while
// its anchor sits higher).
qreal arrowStartOnEdge(qreal start, qreal lowest, qreal highest)
{
    return std::max(lowest, std::min(start, highest));
}

// The bottom of a callout that keeps inside its container: pushed up to the container's
// bottom, but never so far that its top goes above the screen's visible top (a small
// window near the top of the screen would otherwise cut the callout's top off); the top
// wins over the container.
qreal keptInside(qreal y, qreal H, const QRectF& container, const QRectF& visible)
{
    return std::min(std::max(y, minY(container)), maxY(visible) - H);
}

bool isOneOf(int side, std::initializer_list<int> sides)
{
    return std::find(sides.begin(), sides.end(), side) != sides.end();
}

// Where the tangent construction of an arc leaves the pen: on the line from the corner
// towards the target, as far from the corner as the arc began on the incoming line.
QPointF arcEndPoint(QPointF from, const CalloutPathSegment& arc)
{
    const QPointF u = from - arc.corner;
    const QPointF v = arc.to - arc.corner;
    const qreal lu = std::hypot(u.x(), u.y());
    const qreal lv = std::hypot(v.x(), v.y());
    if (lu == 0 || lv == 0 || arc.radius <= 0)
        return arc.corner;
    const qreal cosine = std::clamp((u.x() * v.x() + u.y() * v.y()) / (lu * lv), -1.0, 1.0);
    const qreal angle = std::acos(cosine);
    if (angle == 0 || angle == M_PI)
        return arc.corner;
    const qreal reach = arc.radius / std::tan(angle / 2);
    return arc.corner + v * (reach / lv);
}

}  // namespace

CalloutFamily calloutFamily(int side)
{
    switch (side) {
    case SideLeft:
    case SideLeftExtendingUp:
    case SideLeftExtendingDown:
    case SideLeftExtendingDownKeptInside:
        return CalloutFamily::Left;
    case SideBelow:
    case SideBelowExtendingLeft:
    case SideBelowExtendingRight:
        return CalloutFamily::Below;
    case SideRight:
    case SideRightExtendingUp:
    case SideRightExtendingDown:
    case SideRightExtendingDownKeptInside:
        return CalloutFamily::Right;
    case SideAbove:
    case SideAboveExtendingLeft:
    case SideAboveExtendingRight:
        return CalloutFamily::Above;
    default:
        return CalloutFamily::None;
    }
}

QPointF calloutPathCurrentPoint(const CalloutPath& path)
{
    QPointF current;
    QPointF subpathStart;
    for (const CalloutPathSegment& segment : path) {
        switch (segment.kind) {
        case CalloutPathSegment::MoveTo:
            current = subpathStart = segment.to;
            break;
        case CalloutPathSegment::LineTo:
            current = segment.to;
            break;
        case CalloutPathSegment::ArcTo:
            current = arcEndPoint(current, segment);
            break;
        case CalloutPathSegment::Close:
            current = subpathStart;
            break;
        }
    }
    return current;
}

void AttachedWindowGeometry::attachToPoint(QPointF point, int side, qreal distance)
{
    point_ = point;
    side_ = side;
    requestedSide_ = side;
    distance_ = distance;
    resolveSide();
    _updateGeometry();
    _updateBackground();
}

void AttachedWindowGeometry::resolveSide()
{
    if (side_ == SideAutomatic)
        side_ = _bestSideForAutomaticPosition();
    if (side_ == SideAutomaticLeftOrRight)
        side_ = _bestSideForAutomaticPositionLR();
}

void AttachedWindowGeometry::followAnchors(QPointF left, QPointF right)
{
    point_ = left;
    pointRight_ = right;
    if (requestedSide_ == SideAutomatic || requestedSide_ == SideAutomaticLeftOrRight)
        side_ = requestedSide_;
    resolveSide();
    _redisplay();
}

void AttachedWindowGeometry::attachToLeftAndRightPoints(QPointF left, QPointF right, qreal distance)
{
    pointRight_ = right;
    attachToPoint(left, SideAutomaticLeftOrRight, distance);
}

QPointF AttachedWindowGeometry::toScreen(QPointF windowPoint) const
{
    const CalloutEnvironment env = environment();
    return env.hasWindow ? windowPoint + env.windowOrigin : windowPoint;
}

QRectF AttachedWindowGeometry::visibleFrame(const CalloutEnvironment& env) const
{
    if (env.hasWindow && env.windowScreenVisibleFrame)
        return *env.windowScreenVisibleFrame;
    return env.mainScreenVisibleFrame;
}

QRectF AttachedWindowGeometry::container(const CalloutEnvironment& env) const
{
    return env.hasWindow ? env.windowFrame : env.mainScreenVisibleFrame;
}

qreal AttachedWindowGeometry::_arrowInset() const
{
    const qreal corner = drawsRoundCornerBesideArrow_ ? cornerRadius_ : 0;
    return (corner + arrowBaseWidth_ * 0.5) * environment().scale;
}

void AttachedWindowGeometry::_updateGeometry()
{
    const CalloutEnvironment env = environment();
    const qreal s = env.scale;
    const QSizeF content = contentSize();
    const qreal m = viewMargin_ * s;
    viewFrame_ = QRectF(m, m, content.width(), content.height());

    qreal W = content.width() + 2 * m;
    qreal H = content.height() + 2 * m;

    // The arrow's room is kept even when the arrow is hidden, so that switching it off
    // does not move the content.
    const qreal a = arrowHeight_ * s;
    const CalloutFamily family = calloutFamily(side_);
    switch (family) {
    case CalloutFamily::Left:
        W += a;
        break;
    case CalloutFamily::Right:
        W += a;
        viewFrame_.moveLeft(viewFrame_.x() + a);
        break;
    case CalloutFamily::Below:
        H += a;
        break;
    case CalloutFamily::Above:
        H += a;
        viewFrame_.moveTop(viewFrame_.y() + a);
        break;
    case CalloutFamily::None:
        break;
    }

    const QPointF p = toScreen(point_);
    const qreal i = _arrowInset();
    const QRectF C = container(env);

    qreal x = p.x();
    qreal y = p.y();
    switch (side_) {
    case SideLeft: x = p.x() - W; y = p.y() - H / 2; break;
    case SideBelow: x = p.x() - W / 2; y = p.y() - H; break;
    case SideRight: x = p.x(); y = p.y() - H / 2; break;
    case SideAbove: x = p.x() - W / 2; y = p.y(); break;
    case SideLeftExtendingUp: x = p.x() - W; y = p.y() - i; break;
    case SideLeftExtendingDown: x = p.x() - W; y = p.y() - (H - i); break;
    case SideRightExtendingUp: x = p.x(); y = p.y() - i; break;
    case SideRightExtendingDown: x = p.x(); y = p.y() - (H - i); break;
    case SideAboveExtendingLeft: x = p.x() - (W - i); y = p.y(); break;
    case SideAboveExtendingRight: x = p.x() - i; y = p.y(); break;
    case SideBelowExtendingLeft: x = p.x() - (W - i); y = p.y() - H; break;
    case SideBelowExtendingRight: x = p.x() - i; y = p.y() - H; break;
    case SideRightExtendingDownKeptInside:
        x = p.x();
        y = keptInside(p.y() - (H - i), H, C, visibleFrame(env));
        break;
    case SideLeftExtendingDownKeptInside:
        x = p.x() - W;
        y = keptInside(p.y() - (H - i), H, C, visibleFrame(env));
        break;
    default:
        break;
    }

    const qreal d = distance_;
    switch (family) {
    case CalloutFamily::Left: x -= d; break;
    case CalloutFamily::Below: y -= d; break;
    case CalloutFamily::Right: x += d; break;
    case CalloutFamily::Above: y += d; break;
    case CalloutFamily::None: break;
    }

    frame_ = QRectF(x, y, W, H);
    frameDidChange();
}

int AttachedWindowGeometry::_bestSideForAutomaticPosition() const
{
    const CalloutEnvironment env = environment();
    const qreal s = env.scale;
    const QRectF V = visibleFrame(env);
    const QRectF C = container(env);
    const QPointF p = toScreen(point_);
    const QSizeF content = contentSize();
    const qreal m = viewMargin_ * s;
    const qreal W = content.width() + 2 * m;
    const qreal H = content.height() + 2 * m;
    const qreal A = arrowHeight_ * s + distance_;
    const qreal i = _arrowInset();

    int side = SideBelow;
    if (minY(V) <= p.y() - H - A)
        side = SideBelow;
    else if (p.x() + W + A < maxX(V))
        side = SideRight;
    else if (minX(V) <= p.x() - W - A)
        side = SideLeft;
    else if (maxY(V) > p.y() + H + A)
        side = SideAbove;

    if (side == SideBelow || side == SideAbove) {
        if (minX(C) > p.x() - W / 2) {
            if (p.x() - i + W < maxX(V))
                side = side == SideBelow ? SideBelowExtendingRight : SideAboveExtendingRight;
        } else if (p.x() + W / 2 >= maxX(C)) {
            if (p.x() + i - W >= minX(V))
                side = side == SideBelow ? SideBelowExtendingLeft : SideAboveExtendingLeft;
        }
    } else {
        if (minY(C) > p.y() - H / 2) {
            if (p.y() - i + H < maxY(V))
                side = side == SideLeft ? SideLeftExtendingUp : SideRightExtendingUp;
        } else if (p.y() + H / 2 >= maxY(C)) {
            if (p.y() + i - H >= minY(V))
                side = side == SideLeft ? SideLeftExtendingDown : SideRightExtendingDown;
        }
    }
    return side;
}

int AttachedWindowGeometry::_bestSideForAutomaticPositionLR()
{
    const CalloutEnvironment env = environment();
    const qreal s = env.scale;
    const QRectF V = visibleFrame(env);
    const qreal xL = toScreen(point_).x();
    const qreal xR = toScreen(pointRight_).x();
    const qreal W = contentSize().width() + 2 * viewMargin_ * s;
    const qreal A = arrowHeight_ * s + distance_;

    if (xR + W + A < maxX(V)) {
        point_ = pointRight_;
        return SideRightExtendingDownKeptInside;
    }
    if (minX(V) > xL - W - A)
        return SideBelow;
    return SideLeftExtendingDownKeptInside;
}

CalloutPath AttachedWindowGeometry::_backgroundPath() const
{
    const CalloutEnvironment env = environment();
    const qreal s = env.scale;
    const qreal r = cornerRadius_ * s;
    const qreal w = arrowBaseWidth_ * s;
    const qreal h = w / 2;
    const qreal m = viewMargin_ * s;

    const QRectF R = viewFrame_.adjusted(-m, -m, m, m);
    const qreal left = std::ceil(s * minX(R) + 0.5);
    const qreal right = std::floor(s * maxX(R) - 0.5);
    const qreal bottom = std::ceil(s * minY(R) + 0.5);
    const qreal top = std::floor(s * maxY(R) - 0.5);
    const qreal midX = s * (minX(R) + R.width() * 0.5);
    const qreal midY = s * (minY(R) + R.height() * 0.5);

    // The corner right beside an arrow that sits at an end of its edge stays square
    // unless asked otherwise, so that the arrow grows straight out of the edge.
    auto rounded = [&](std::initializer_list<int> arrowSides) {
        return r > 0 && (drawsRoundCornerBesideArrow_ || !isOneOf(side_, arrowSides));
    };
    const bool topLeft = rounded({SideRightExtendingDown, SideBelowExtendingRight,
                                  SideRightExtendingDownKeptInside});
    const bool topRight = rounded({SideLeftExtendingDown, SideBelowExtendingLeft,
                                   SideLeftExtendingDownKeptInside});
    const bool bottomRight = rounded({SideLeftExtendingUp, SideAboveExtendingLeft,
                                      SideLeftExtendingDownKeptInside});
    const bool bottomLeft = rounded({SideRightExtendingUp, SideAboveExtendingRight});

    // The anchor's height above the callout's bottom edge, so that a callout pushed up
    // to stay inside its container still points at the anchor. Without a parent window
    // the anchor is already in screen space and its own y is used.
    qreal q = point_.y();
    if (env.hasWindow)
        q = point_.y() - (frame_.y() - env.windowOrigin.y());

    CalloutPath path;
    path.push_back(CalloutPathSegment::moveTo({topLeft ? left + r : left, top}));

    const qreal topEnd = topRight ? right - r : right;
    if (side_ == SideBelowExtendingRight) {
        _appendArrowToPath(path);
    } else if (side_ == SideBelow) {
        path.push_back(CalloutPathSegment::lineTo({midX - h, top}));
        _appendArrowToPath(path);
    } else if (side_ == SideBelowExtendingLeft) {
        path.push_back(CalloutPathSegment::lineTo({topEnd - w, top}));
        _appendArrowToPath(path);
    }
    path.push_back(CalloutPathSegment::lineTo({topEnd, top}));
    if (topRight)
        path.push_back(CalloutPathSegment::arcTo({right, top}, {right, top - r}, r));

    const qreal rightEnd = bottomRight ? bottom + r : bottom;
    if (side_ == SideLeftExtendingDown) {
        _appendArrowToPath(path);
    } else if (side_ == SideLeft) {
        path.push_back(CalloutPathSegment::lineTo({right, midY + h}));
        _appendArrowToPath(path);
    } else if (side_ == SideLeftExtendingUp) {
        path.push_back(CalloutPathSegment::lineTo({right, rightEnd + w}));
        _appendArrowToPath(path);
    } else if (side_ == SideLeftExtendingDownKeptInside) {
        path.push_back(CalloutPathSegment::lineTo({right, arrowStartOnEdge(q + h - 2.0, bottom + w, topRight ? top - r : top)}));
        _appendArrowToPath(path);
    }
    path.push_back(CalloutPathSegment::lineTo({right, rightEnd}));
    if (bottomRight)
        path.push_back(CalloutPathSegment::arcTo({right, bottom}, {right - r, bottom}, r));

    const qreal bottomEnd = bottomLeft ? left + r : left;
    if (side_ == SideAboveExtendingLeft) {
        _appendArrowToPath(path);
    } else if (side_ == SideAbove) {
        path.push_back(CalloutPathSegment::lineTo({midX + h, bottom}));
        _appendArrowToPath(path);
    } else if (side_ == SideAboveExtendingRight) {
        path.push_back(CalloutPathSegment::lineTo({bottomEnd + w, bottom}));
        _appendArrowToPath(path);
    }
    path.push_back(CalloutPathSegment::lineTo({bottomEnd, bottom}));
    if (bottomLeft)
        path.push_back(CalloutPathSegment::arcTo({left, bottom}, {left, bottom + r}, r));

    const qreal leftEnd = topLeft ? top - r : top;
    if (side_ == SideRightExtendingUp) {
        _appendArrowToPath(path);
    } else if (side_ == SideRight) {
        path.push_back(CalloutPathSegment::lineTo({left, midY - h}));
        _appendArrowToPath(path);
    } else if (side_ == SideRightExtendingDownKeptInside) {
        path.push_back(CalloutPathSegment::lineTo({left, arrowStartOnEdge(q - h - 2.0, bottom, leftEnd - w)}));
        _appendArrowToPath(path);
    } else if (side_ == SideRightExtendingDown) {
        path.push_back(CalloutPathSegment::lineTo({left, leftEnd - w}));
        _appendArrowToPath(path);
    }
    path.push_back(CalloutPathSegment::lineTo({left, leftEnd}));
    if (topLeft)
        path.push_back(CalloutPathSegment::arcTo({left, top}, {left + r, top}, r));

    path.push_back(CalloutPathSegment::close());
    return path;
}

void AttachedWindowGeometry::_appendArrowToPath(CalloutPath& path) const
{
    if (!hasArrow_)
        return;
    const qreal s = environment().scale;
    const qreal w = arrowBaseWidth_ * s;
    const qreal a = arrowHeight_ * s;
    const QPointF c = calloutPathCurrentPoint(path);

    QPointF tip = c;
    QPointF end = c;
    switch (calloutFamily(side_)) {
    case CalloutFamily::Left:
        tip = {c.x() + a, c.y() - w / 2};
        end = {c.x(), c.y() - w};
        break;
    case CalloutFamily::Below:
        tip = {c.x() + w / 2, c.y() + a};
        end = {c.x() + w, c.y()};
        break;
    case CalloutFamily::Right:
        tip = {c.x() - a, c.y() + w / 2};
        end = {c.x(), c.y() + w};
        break;
    case CalloutFamily::Above:
        tip = {c.x() - w / 2, c.y() - a};
        end = {c.x() - w, c.y()};
        break;
    case CalloutFamily::None:
        break;
    }
    path.push_back(CalloutPathSegment::lineTo(tip));
    path.push_back(CalloutPathSegment::lineTo(end));
}

void AttachedWindowGeometry::_redisplay()
{
    if (resizing_)
        return;
    resizing_ = true;
    suspendScreenUpdates();
    _updateGeometry();
    _updateBackground();
    resumeScreenUpdates();
    resizing_ = false;
}

void AttachedWindowGeometry::setPoint(QPointF point, int side)
{
    point_ = point;
    side_ = side;
    suspendScreenUpdates();
    _updateGeometry();
    _updateBackground();
    resumeScreenUpdates();
}

void AttachedWindowGeometry::setBorderWidth(qreal value)
{
    if (value == borderWidth_)
        return;
    // A border wider than the margin would run over the content.
    borderWidth_ = std::min(value, viewMargin_);
    _updateBackground();
}

void AttachedWindowGeometry::setViewMargin(qreal value)
{
    if (value == viewMargin_)
        return;
    viewMargin_ = std::max(value, 0.0);
    setCornerRadius(cornerRadius_);
}

void AttachedWindowGeometry::setCornerRadius(qreal value)
{
    const QSizeF content = viewFrame_.size();
    const qreal shortSide = std::min(content.width(), content.height()) + 2 * viewMargin_;
    const qreal limit = (shortSide - arrowBaseWidth_) * 0.5;
    cornerRadius_ = std::max(std::min(value, limit), 0.0);
    setArrowBaseWidth(arrowBaseWidth_);
}

void AttachedWindowGeometry::setArrowBaseWidth(qreal value)
{
    const QSizeF content = viewFrame_.size();
    qreal limit = std::min(content.width(), content.height()) + 2 * viewMargin_ - cornerRadius_;
    if (drawsRoundCornerBesideArrow_)
        limit -= cornerRadius_;
    arrowBaseWidth_ = std::min(value, limit);
    _redisplay();
}

void AttachedWindowGeometry::setArrowHeight(qreal value)
{
    if (value == arrowHeight_)
        return;
    arrowHeight_ = value;
    _redisplay();
}

void AttachedWindowGeometry::setHasArrow(qreal value)
{
    if (value == hasArrow())
        return;
    hasArrow_ = static_cast<int>(value) != 0;
    _updateBackground();
}

void AttachedWindowGeometry::setDrawsRoundCornerBesideArrow(qreal value)
{
    if (value == drawsRoundCornerBesideArrow())
        return;
    drawsRoundCornerBesideArrow_ = static_cast<int>(value) != 0;
    _redisplay();
}

}  // namespace quorly
