#pragma once

#include "import/DelimitedText.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <optional>

namespace quorly {

class DocumentWindowWidget;
class ImportDialog;

// The import of delimited text into one document window's password file: the open
// panel, the import dialog and its parse, the import loop with its progress, the one
// save at the end, and the report of what was left out.
class ImportPasswordData : public QObject {
    Q_OBJECT
public:
    // Asks for the file to import; nullopt when the user cancelled.
    using FileChooser = std::function<std::optional<QString>(QWidget* window)>;

    explicit ImportPasswordData(DocumentWindowWidget* window);

    // The open panel by default; tests choose the file themselves.
    void setFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }

    // `importPasswordDataBegin`: ends editing in the window, asks for the file and, when
    // one was chosen, runs the import dialog on it.
    void importPasswordDataBegin();
    // `importPanelDidEnd:returnCode:contextInfo:` after OK: reads the file and runs the
    // dialog. A file that cannot be read is reported and nothing changes.
    void importFile(const QString& path);

    ImportDialog* dialog() const { return dialog_; }

    // The open panel: one existing file of type "txt", "csv", "ssv" or without an
    // extension.
    static std::optional<QString> runOpenPanel(QWidget* window);

private:
    // `importPasswordDataRadioButtonsChanged:`: parses the file anew.
    void parse();
    // `importPasswordData:`: imports, saves once, then reports or closes.
    void importPasswordData();

    QPointer<DocumentWindowWidget> window_;
    ImportDialog* dialog_;
    FileChooser chooseFile_;
    std::optional<ImportText> fileContents_;
};

// Gives the window its "importPasswordDataBegin:" command. Done once, when the window is
// made.
ImportPasswordData* attachImport(DocumentWindowWidget* window);

}  // namespace quorly
