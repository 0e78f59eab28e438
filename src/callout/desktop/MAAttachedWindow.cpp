#include "callout/desktop/MAAttachedWindow.h"

#include <QAction>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMetaObject>
#include <QPainter>
#include <QPen>
#include <QRegion>
#include <QScreen>
#include <QTransform>
#include <QtMath>

#include <cmath>

namespace quorly {

namespace {

// The one place where Qt's spaces (origin top left, y downwards) meet the callout's
// (origin bottom left, y upwards). `spaceHeight` is the height of the space: the bottom
// of the primary screen for screen coordinates, the window's height for its contents.
QRectF flipped(const QRectF& r, qreal spaceHeight)
{
    return QRectF(r.x(), spaceHeight - r.y() - r.height(), r.width(), r.height());
}

QPointF flipped(QPointF p, qreal spaceHeight)
{
    return QPointF(p.x(), spaceHeight - p.y());
}

qreal screenSpaceHeight()
{
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary)
        return 0;
    const QRect g = primary->geometry();
    return g.y() + g.height();
}

QRect pixelRect(const QRectF& r)
{
    return QRect(qRound(r.x()), qRound(r.y()), qRound(r.width()), qRound(r.height()));
}

QPointF unit(QPointF v)
{
    const qreal length = std::hypot(v.x(), v.y());
    return length > 0 ? v / length : QPointF();
}

// Qt measures arc angles in degrees with y pointing the other way from its own device
// space; asking for the angle its own way keeps this right whichever way y runs.
qreal qtAngle(QPointF centre, QPointF p)
{
    return qRadiansToDegrees(std::atan2(-(p.y() - centre.y()), p.x() - centre.x()));
}

void appendArc(QPainterPath& out, const CalloutPathSegment& arc)
{
    const QPointF from = out.currentPosition();
    const QPointF u = unit(from - arc.corner);
    const QPointF v = unit(arc.to - arc.corner);
    const qreal angle = std::acos(std::clamp(u.x() * v.x() + u.y() * v.y(), -1.0, 1.0));
    if (arc.radius <= 0 || angle <= 0 || angle >= M_PI || u.isNull() || v.isNull()) {
        out.lineTo(arc.corner);
        return;
    }
    const qreal half = angle / 2;
    const qreal reach = arc.radius / std::tan(half);
    const QPointF start = arc.corner + u * reach;
    const QPointF centre = arc.corner + unit(u + v) * (arc.radius / std::sin(half));
    const QPointF end = arc.corner + v * reach;

    const qreal a0 = qtAngle(centre, start);
    qreal sweep = qtAngle(centre, end) - a0;
    while (sweep > 180)
        sweep -= 360;
    while (sweep <= -180)
        sweep += 360;
    out.lineTo(start);
    out.arcTo(QRectF(centre.x() - arc.radius, centre.y() - arc.radius, 2 * arc.radius, 2 * arc.radius),
              a0, sweep);
}

}  // namespace

QPainterPath calloutPainterPath(const CalloutPath& path)
{
    QPainterPath out;
    for (const CalloutPathSegment& segment : path) {
        switch (segment.kind) {
        case CalloutPathSegment::MoveTo:
            out.moveTo(segment.to);
            break;
        case CalloutPathSegment::LineTo:
            out.lineTo(segment.to);
            break;
        case CalloutPathSegment::ArcTo:
            appendArc(out, segment);
            break;
        case CalloutPathSegment::Close:
            out.closeSubpath();
            break;
        }
    }
    return out;
}

QImage renderCalloutBackground(const CalloutPath& path, QSize pixelSize, const QBrush& fill,
                               const QColor& border, qreal borderWidth)
{
    QImage image(pixelSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (image.isNull())
        return image;

    const QPainterPath outline = calloutPainterPath(path);
    const QTransform upwards(1, 0, 0, -1, 0, pixelSize.height());

    // Qt's raster clipping has hard edges, so the outline's antialiased coverage is
    // applied afterwards as an alpha mask: the same result as clipping, with soft edges.
    QImage coverage(pixelSize, QImage::Format_ARGB32_Premultiplied);
    coverage.fill(Qt::transparent);
    {
        QPainter painter(&coverage);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setTransform(upwards);
        painter.fillPath(outline, Qt::black);
    }

    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(upwards);
    QBrush brush = fill;
    if (brush.style() == Qt::TexturePattern)
        brush.setTransform(upwards);  // keep a pattern image upright
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(QRectF(0, 0, pixelSize.width(), pixelSize.height()), brush);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (borderWidth > 0) {
        // Half of the stroke falls outside the outline and is cut away below.
        QPen pen(border, 2 * borderWidth);
        pen.setJoinStyle(Qt::RoundJoin);
        painter.strokePath(outline, pen);
    }
    painter.resetTransform();
    painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    painter.drawImage(0, 0, coverage);
    return image;
}

MAAttachedWindow::MAAttachedWindow(QWidget* view, QWidget* window)
    // A tool window can take the keyboard but never becomes the application's main
    // window, and stays out of task lists.
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint),
      view_(view),
      viewHome_(view->parentWidget()),
      window_(window),
      fill_(QColor::fromRgbF(0.1, 0.1, 0.1, 0.75)),
      borderColor_(Qt::white)
{
    // Translucent, so the outline's transparent surroundings show what lies beneath.
    // The drop shadow is the compositor's: Qt::NoDropShadowWindowHint is left unset.
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowOpacity(1.0);

    // A view nobody has sized yet would otherwise bring Qt's arbitrary default size.
    if (!view->testAttribute(Qt::WA_Resized))
        view->adjustSize();
    view->setParent(this);
    view->show();

    if (window) {
        followed_ = window->window();
        followed_->installEventFilter(this);
    }
}

MAAttachedWindow::Ptr MAAttachedWindow::create(QWidget* view, QWidget* window)
{
    if (!view)
        return nullptr;
    return Ptr(new MAAttachedWindow(view, window));
}

MAAttachedWindow::~MAAttachedWindow()
{
    if (followed_)
        followed_->removeEventFilter(this);
    if (view_ && view_->parentWidget() == this) {
        view_->removeEventFilter(this);
        view_->hide();
        view_->setParent(viewHome_);
    }
}

MAAttachedWindow::Ptr MAAttachedWindow::initWithViewAttachedToPointInWindowOnSideAtDistance(
    QWidget* view, QPointF point, QWidget* window, CalloutSide side, qreal distance)
{
    Ptr callout = create(view, window);
    if (!callout)
        return nullptr;
    callout->attachToPoint(point, side, distance);
    callout->view_->installEventFilter(callout.get());
    return callout;
}

MAAttachedWindow::Ptr MAAttachedWindow::initWithViewAttachedToLeftPointAttachedToRightPointInWindowAtDistance(
    QWidget* view, QPointF left, QPointF right, QWidget* window, qreal distance)
{
    Ptr callout = create(view, window);
    if (!callout)
        return nullptr;
    callout->attachToLeftAndRightPoints(left, right, distance);
    callout->view_->installEventFilter(callout.get());
    return callout;
}

MAAttachedWindow::Ptr MAAttachedWindow::initWithViewAttachedToPointInWindowAtDistance(QWidget* view, QPointF point,
                                                                                      QWidget* window, qreal distance)
{
    return initWithViewAttachedToPointInWindowOnSideAtDistance(view, point, window, SideAutomatic, distance);
}

MAAttachedWindow::Ptr MAAttachedWindow::initWithViewAttachedToPointOnSideAtDistance(QWidget* view, QPointF point,
                                                                                    CalloutSide side, qreal distance)
{
    return initWithViewAttachedToPointInWindowOnSideAtDistance(view, point, nullptr, side, distance);
}

MAAttachedWindow::Ptr MAAttachedWindow::initWithViewAttachedToPointAtDistance(QWidget* view, QPointF point,
                                                                              qreal distance)
{
    return initWithViewAttachedToPointInWindowOnSideAtDistance(view, point, nullptr, SideAutomatic, distance);
}

MAAttachedWindow::Ptr MAAttachedWindow::initWithViewAttachedToPointInWindow(QWidget* view, QPointF point,
                                                                            QWidget* window)
{
    return initWithViewAttachedToPointInWindowOnSideAtDistance(view, point, window, SideAutomatic, 0);
}

MAAttachedWindow::Ptr MAAttachedWindow::initWithViewAttachedToPointOnSide(QWidget* view, QPointF point,
                                                                          CalloutSide side)
{
    return initWithViewAttachedToPointInWindowOnSideAtDistance(view, point, nullptr, side, 0);
}

MAAttachedWindow::Ptr MAAttachedWindow::initWithViewAttachedToPoint(QWidget* view, QPointF point)
{
    return initWithViewAttachedToPointInWindowOnSideAtDistance(view, point, nullptr, SideAutomatic, 0);
}

void MAAttachedWindow::setBackgroundColor(const QBrush& fill)
{
    if (fill == fill_)
        return;
    fill_ = fill;
    _updateBackground();
}

void MAAttachedWindow::setBorderColor(const QColor& color)
{
    if (color == borderColor_)
        return;
    borderColor_ = color;
    _updateBackground();
}

void MAAttachedWindow::setBackgroundImage(const QPixmap& image)
{
    if (image.isNull())
        return;
    setBackgroundColor(QBrush(image));
}

bool MAAttachedWindow::validateMenuItem(QAction* item)
{
    if (window_ && window_->metaObject()->indexOfMethod("validateMenuItem(QAction*)") >= 0) {
        bool valid = true;
        QMetaObject::invokeMethod(window_, "validateMenuItem", Qt::DirectConnection, Q_RETURN_ARG(bool, valid),
                                  Q_ARG(QAction*, item));
        return valid;
    }
    return true;
}

void MAAttachedWindow::performClose()
{
    if (window_) {
        if (window_->metaObject()->indexOfMethod("performClose()") >= 0)
            QMetaObject::invokeMethod(window_, "performClose", Qt::DirectConnection);
        else
            window_->window()->close();
        return;
    }
    close();
}

// The program asks the screen each time instead of remembering: the parent may have
// moved to a screen of another density since the last look.
qreal MAAttachedWindow::scaleFactor() const
{
    const QScreen* screen = window_ ? window_->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->devicePixelRatio() : 1.0;
}

QSizeF MAAttachedWindow::contentSize() const
{
    return view_ ? QSizeF(view_->size()) : QSizeF();
}

CalloutEnvironment MAAttachedWindow::environment() const
{
    CalloutEnvironment env;
    const qreal height = screenSpaceHeight();
    if (const QScreen* primary = QGuiApplication::primaryScreen())
        env.mainScreenVisibleFrame = flipped(QRectF(primary->availableGeometry()), height);
    env.scale = scaleFactor();
    if (window_) {
        const QWidget* top = window_->window();
        env.hasWindow = true;
        env.windowOrigin = flipped(window_->mapToGlobal(QPointF(0, window_->height())), height);
        env.windowFrame = flipped(QRectF(top->frameGeometry()), height);
        if (const QScreen* screen = top->screen())
            env.windowScreenVisibleFrame = flipped(QRectF(screen->availableGeometry()), height);
    }
    return env;
}

void MAAttachedWindow::frameDidChange()
{
    setGeometry(pixelRect(flipped(frame_, screenSpaceHeight())));
    if (view_)
        view_->setGeometry(pixelRect(flipped(viewFrame_, frame_.height())));
}

void MAAttachedWindow::_updateBackground()
{
    const qreal s = environment().scale;
    const QSize pixels(qCeil(frame_.width() * s), qCeil(frame_.height() * s));
    suspendScreenUpdates();
    background_ = renderCalloutBackground(_backgroundPath(), pixels, fill_, borderColor_, borderWidth_ * s);
    background_.setDevicePixelRatio(s);
    backgroundPixmap_ = QPixmap::fromImage(background_);

    // Without a compositor the translucent parts would show as black; shaping the window
    // to the drawn pixels keeps the surroundings clear there and lets clicks outside the
    // outline reach what lies beneath.
    QRegion shape;
    for (int y = 0; y < background_.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(background_.constScanLine(y));
        int x = 0;
        while (x < background_.width()) {
            while (x < background_.width() && qAlpha(line[x]) == 0)
                ++x;
            const int start = x;
            while (x < background_.width() && qAlpha(line[x]) != 0)
                ++x;
            if (x > start)
                shape += QRect(start, y, x - start, 1);
        }
    }
    if (s != 1.0)
        shape = QTransform::fromScale(1 / s, 1 / s).map(shape);
    setMask(shape);
    update();
    resumeScreenUpdates();
}

void MAAttachedWindow::suspendScreenUpdates()
{
    if (suspended_++ == 0)
        setUpdatesEnabled(false);
}

void MAAttachedWindow::resumeScreenUpdates()
{
    if (--suspended_ == 0)
        setUpdatesEnabled(true);
}

void MAAttachedWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawPixmap(0, 0, backgroundPixmap_);
}

void MAAttachedWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    windowDidResize();
}

void MAAttachedWindow::windowDidResize()
{
    _redisplay();
}

void MAAttachedWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Close)) {
        performClose();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool MAAttachedWindow::eventFilter(QObject* watched, QEvent* event)
{
    // A content widget that changes its size takes the callout along.
    if (watched == view_ && event->type() == QEvent::Resize)
        windowDidResize();
    // Followed once the window has dealt with the change itself: its layout places the
    // rows the anchors are taken from only after this filter has seen the event.
    if (watched == followed_ && (event->type() == QEvent::Move || event->type() == QEvent::Resize)
        && !followQueued_) {
        followQueued_ = true;
        QMetaObject::invokeMethod(this, &MAAttachedWindow::followParentWindow, Qt::QueuedConnection);
    }
    return QWidget::eventFilter(watched, event);
}

void MAAttachedWindow::followParentWindow()
{
    followQueued_ = false;
    if (!window_)
        return;
    if (anchorSource_) {
        const auto [left, right] = anchorSource_();
        followAnchors(left, right);
    } else {
        _redisplay();
    }
}

}  // namespace quorly
