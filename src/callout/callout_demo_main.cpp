// quorly-callout-demo: one callout on every side, for looking at them.
//
//   quorly-callout-demo [--screenshot FILE]
//
// With --screenshot the board and its callouts are composed into FILE (PNG) the way a
// compositing desktop shows them, and the program ends.
#include "callout/desktop/MAAttachedWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLabel>
#include <QPainter>
#include <QTimer>

#include <array>
#include <vector>

using namespace quorly;

namespace {

constexpr int kColumns = 4;
constexpr int kRows = 4;
constexpr QSize kCell(300, 230);

const std::array<const char*, 16> kSideNames = {
    "left", "below", "right", "above", "left, up", "left, down", "right, up", "right, down",
    "above, left", "above, right", "below, left", "below, right", "automatic", "right, inside",
    "left, inside", "left or right",
};

// The board the callouts point into: a grid with one marked anchor per side. The sides
// that keep inside the window get anchors near its bottom, so that their push upwards
// (and the arrow following the anchor) can be seen.
class Board : public QWidget {
public:
    Board() { setFixedSize(kCell.width() * kColumns, kCell.height() * kRows); }

    // Anchor of a side in Qt's widget coordinates.
    QPointF anchor(int side) const
    {
        const int col = side % kColumns;
        const int row = side / kColumns;
        QPointF p(col * kCell.width() + kCell.width() / 2.0, row * kCell.height() + kCell.height() / 2.0);
        if (side == SideRightExtendingDownKeptInside || side == SideLeftExtendingDownKeptInside)
            p.setY(height() - 24);
        if (side == SideAutomaticLeftOrRight)
            p.setX(p.x() - 130);
        return p;
    }
    QPointF rightAnchor() const { return anchor(SideAutomaticLeftOrRight) + QPointF(100, 0); }

    // The callout's coordinates: origin at the bottom left, y upwards.
    QPointF upwards(QPointF p) const { return QPointF(p.x(), height() - p.y()); }

    std::vector<MAAttachedWindow::Ptr> callouts;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillRect(rect(), QColor(0xe8, 0xec, 0xf1));
        painter.setPen(QColor(0xc5, 0xcc, 0xd6));
        for (int c = 1; c < kColumns; ++c)
            painter.drawLine(c * kCell.width(), 0, c * kCell.width(), height());
        for (int r = 1; r < kRows; ++r)
            painter.drawLine(0, r * kCell.height(), width(), r * kCell.height());
        painter.setPen(QPen(QColor(0xd0, 0x20, 0x30), 1.5));
        auto mark = [&](QPointF p) {
            painter.drawLine(p + QPointF(-5, 0), p + QPointF(5, 0));
            painter.drawLine(p + QPointF(0, -5), p + QPointF(0, 5));
        };
        for (int side = 0; side < 16; ++side)
            mark(anchor(side));
        mark(rightAnchor());
    }

    // The callouts follow the board when a window manager moves it.
    void moveEvent(QMoveEvent*) override
    {
        for (auto& callout : callouts)
            callout->setPoint(callout->point(), callout->side());
    }
};

QLabel* contentFor(int side)
{
    auto* label = new QLabel(QStringLiteral("<b>%1</b><br>%2").arg(side).arg(QLatin1String(kSideNames[side])));
    label->setStyleSheet(QStringLiteral("QLabel { color: white; background: transparent; padding: 6px 10px; }"));
    label->setAlignment(Qt::AlignCenter);
    label->adjustSize();
    return label;
}

QImage compose(Board& board)
{
    QRect area = board.geometry();
    for (const auto& callout : board.callouts)
        area |= callout->geometry();
    area.adjust(-12, -12, 12, 12);
    QImage image(area.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(0x5a, 0x64, 0x73));
    QPainter painter(&image);
    painter.drawImage(board.geometry().topLeft() - area.topLeft(), board.grab().toImage());
    for (const auto& callout : board.callouts)
        painter.drawImage(callout->geometry().topLeft() - area.topLeft(), callout->grab().toImage());
    return image;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quorly-callout-demo"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Shows an attached callout on every side."));
    parser.addHelpOption();
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                        QStringLiteral("Save a picture of the board to <file> and quit."),
                                        QStringLiteral("file"));
    parser.addOption(screenshot);
    parser.process(app);

    Board board;
    board.setWindowTitle(QStringLiteral("Quorly callouts"));
    board.move(40, 40);
    board.show();
    QApplication::processEvents();

    for (int side = 0; side < 16; ++side) {
        QLabel* label = contentFor(side);
        MAAttachedWindow::Ptr callout;
        if (side == SideAutomaticLeftOrRight) {
            callout = MAAttachedWindow::initWithViewAttachedToLeftPointAttachedToRightPointInWindowAtDistance(
                label, board.upwards(board.anchor(side)), board.upwards(board.rightAnchor()), &board, 0);
        } else {
            callout = MAAttachedWindow::initWithViewAttachedToPointInWindowOnSideAtDistance(
                label, board.upwards(board.anchor(side)), &board, CalloutSide(side), 0);
        }
        if (side == SideAutomatic || side == SideAutomaticLeftOrRight)
        {
            // The callout follows its content's new size.
            label->setText(label->text() + QStringLiteral(" → %1").arg(callout->side()));
            label->adjustSize();
        }
        callout->show();
        board.callouts.push_back(std::move(callout));
    }

    if (parser.isSet(screenshot)) {
        const QString file = parser.value(screenshot);
        QTimer::singleShot(700, &app, [&] {
            const bool saved = compose(board).save(file, "PNG");
            if (!saved)
                qWarning("Could not write %s", qPrintable(file));
            app.exit(saved ? 0 : 1);
        });
    }
    return app.exec();
}
