#pragma once

#include "entries/PrintLayout.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class QPrinter;
class QTextDocument;

namespace quorly {

class DocumentWindowWidget;

// The application's shared print settings: page set-up and printing both work on them.
QPrinter& sharedPrintInfo();

// `printInfoFit`: margins of 72 points on every side. The content's width is fitted to
// the page when it is printed.
void printInfoFit(QPrinter& printer);

// The styled text of `runs`, with the fonts of the three attribute sets resolved through
// the font system (Helvetica comes out as its metric-compatible equivalent).
std::unique_ptr<QTextDocument> printTextDocument(const QList<PrintRun>& runs);

// Lays the runs out as the off-screen text view does (700 points wide) and prints them
// on `printer`, scaled to fit the page's width between its margins. False when the
// printer could not be started.
bool printRuns(const QList<PrintRun>& runs, QPrinter& printer);

// Printing and page set-up of one document window.
class PrintEntries : public QObject {
    Q_OBJECT
public:
    // Runs a print or page set-up panel on the shared settings; the panel's code.
    using PanelRunner = std::function<int(QPrinter& printer, QWidget* window)>;

    explicit PrintEntries(DocumentWindowWidget* window);

    void setPrintPanel(PanelRunner runner) { printPanel_ = std::move(runner); }

    // `printDocument:`: ends editing, applies `printInfoFit` and shows the print panel.
    void printDocument();
    // `printPanelDidEnd:returnCode:contextInfo:`: prints the selected entries (all of
    // them without a selection) when the panel ended with OK. True when it printed.
    bool printPanelDidEnd(int code);
    // `runPageLayout:`: the page set-up panel on the shared settings.
    void runPageLayout();

    static int runPrintPanel(QPrinter& printer, QWidget* window);
    static int runPageLayoutPanel(QPrinter& printer, QWidget* window);

private:
    QPointer<DocumentWindowWidget> window_;
    PanelRunner printPanel_;
};

// Gives the window its "printDocument:" and "runPageLayout:" commands.
PrintEntries* attachPrinting(DocumentWindowWidget* window);

}  // namespace quorly
