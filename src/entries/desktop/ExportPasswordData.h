#pragma once

#include "entries/desktop/DocumentPanels.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <optional>

class QProgressBar;

namespace quorly {

class DocumentWindowWidget;

// `exportStatusPanel`: the progress of an export, then its done message and OK.
class ExportStatusPanel : public DocumentPanel {
    Q_OBJECT
public:
    explicit ExportStatusPanel(QWidget* parent = nullptr);

    QProgressBar* exportProgressIndicator() const { return progress_; }

private:
    QProgressBar* progress_;
};

// The export of a document window's selected entries to a comma-separated text file.
class ExportPasswordData : public QObject {
    Q_OBJECT
public:
    // Asks where to write; nullopt when the user cancelled.
    using PathChooser = std::function<std::optional<QString>(QWidget* window)>;

    explicit ExportPasswordData(DocumentWindowWidget* window);

    void setPathChooser(PathChooser chooser) { choosePath_ = std::move(chooser); }

    // `exportPasswordData:`: the save panel, then the export of the selected rows.
    void exportPasswordData();
    // `exportSavePanelDidEnd:returnCode:contextInfo:` after OK: writes the file while the
    // status sheet shows the progress, then shows how it went until the user presses OK.
    // True when the file was written.
    bool exportTo(const QString& path);

    ExportStatusPanel* exportStatusPanel() const { return status_; }

    // The save panel: "Export Password Data", in the home folder, "Untitled.txt".
    static std::optional<QString> runSavePanel(QWidget* window);

private:
    QPointer<DocumentWindowWidget> window_;
    ExportStatusPanel* status_;
    PathChooser choosePath_;
};

// Gives the window its "exportPasswordData:" command.
ExportPasswordData* attachExport(DocumentWindowWidget* window);

}  // namespace quorly
