#include "entries/desktop/PrintEntries.h"

#include "entries/desktop/DocumentPanels.h"
#include "entries/desktop/DocumentWindowWidget.h"
#include "platform/RunLoop.h"
#include "store/MyDocument.h"

#include <QAbstractTextDocumentLayout>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <cmath>

namespace quorly {

namespace {

QTextCharFormat formatFor(PrintStyle style)
{
    const PrintFace face = printFontFor(style);
    QFont font(face.family);
    font.setPointSizeF(face.pointSize);
    font.setBold(face.bold);
    QTextCharFormat format;
    format.setFont(font);
    return format;
}

int runOnPrinter(QDialog& panel, QWidget* window)
{
    QObject::connect(&panel, &QDialog::finished, &panel, [&panel](int result) { RunLoop::stopModal(&panel, result); });
    return runPanel(&panel, window);
}

}  // namespace

QPrinter& sharedPrintInfo()
{
    static QPrinter* printer = new QPrinter(QPrinter::HighResolution);
    return *printer;
}

void printInfoFit(QPrinter& printer)
{
    printer.setFullPage(false);
    printer.setPageMargins(QMarginsF(kPrintMarginPoints, kPrintMarginPoints, kPrintMarginPoints, kPrintMarginPoints),
                           QPageLayout::Point);
}

std::unique_ptr<QTextDocument> printTextDocument(const QList<PrintRun>& runs)
{
    auto document = std::make_unique<QTextDocument>();
    document->setDefaultFont(formatFor(PrintStyle::Value).font());
    QTextCursor cursor(document.get());
    for (const PrintRun& run : runs)
        cursor.insertText(run.text, formatFor(run.style));
    return document;
}

bool printRuns(const QList<PrintRun>& runs, QPrinter& printer)
{
    const std::unique_ptr<QTextDocument> document = printTextDocument(runs);
    // Laid out in the printer's own units, so that fonts are measured as printed.
    document->documentLayout()->setPaintDevice(&printer);
    document->setDocumentMargin(0);
    const qreal pointsToDevice = printer.resolution() / 72.0;
    const qreal viewWidth = kPrintViewWidth * pointsToDevice;
    const QRectF page = printer.pageRect(QPrinter::DevicePixel);
    // Fitted to the page's width: the 700-point view shrinks to the space between the
    // margins, and every page holds as much of it as that scale allows.
    const qreal scale = std::min<qreal>(1.0, page.width() / viewWidth);
    const qreal pageHeight = page.height() / scale;
    document->setPageSize(QSizeF(viewWidth, pageHeight));

    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const int pages = document->pageCount();
    for (int index = 0; index < pages; ++index) {
        if (index > 0)
            printer.newPage();
        painter.save();
        painter.scale(scale, scale);
        const QRectF visible(0, index * pageHeight, viewWidth, pageHeight);
        painter.translate(0, -visible.top());
        painter.setClipRect(visible);
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = visible;
        document->documentLayout()->draw(&painter, context);
        painter.restore();
    }
    return painter.end();
}

PrintEntries::PrintEntries(DocumentWindowWidget* window)
    : QObject(window), window_(window), printPanel_(&PrintEntries::runPrintPanel)
{
}

int PrintEntries::runPrintPanel(QPrinter& printer, QWidget* window)
{
    QPrintDialog panel(&printer, window);
    return runOnPrinter(panel, window);
}

int PrintEntries::runPageLayoutPanel(QPrinter& printer, QWidget* window)
{
    QPageSetupDialog panel(&printer, window);
    return runOnPrinter(panel, window);
}

void PrintEntries::printDocument()
{
    if (!window_)
        return;
    if (QWidget* focus = window_->focusWidget())
        focus->clearFocus();
    printInfoFit(sharedPrintInfo());
    printPanelDidEnd(printPanel_(sharedPrintInfo(), window_));
}

bool PrintEntries::printPanelDidEnd(int code)
{
    if (code != RunLoop::OKCode || !window_ || !window_->document())
        return false;
    const QList<PrintRun> runs = printString(window_->document()->passwordArray(), window_->selectedRows());
    return printRuns(runs, sharedPrintInfo());
}

void PrintEntries::runPageLayout()
{
    if (!window_)
        return;
    if (QWidget* focus = window_->focusWidget())
        focus->clearFocus();
    runPageLayoutPanel(sharedPrintInfo(), window_);
}

PrintEntries* attachPrinting(DocumentWindowWidget* window)
{
    auto* printing = new PrintEntries(window);
    printing->setObjectName(QStringLiteral("printEntries"));
    const QPointer<PrintEntries> keeper(printing);
    window->setCommand(QStringLiteral("printDocument:"), [keeper] {
        if (keeper)
            keeper->printDocument();
    });
    window->setCommand(QStringLiteral("runPageLayout:"), [keeper] {
        if (keeper)
            keeper->runPageLayout();
    });
    return printing;
}

}  // namespace quorly
