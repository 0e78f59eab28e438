#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace quorly {

class EntryList;

// What a password-file document needs from its window. The document keeps every rule;
// the window only shows, asks and answers. The desktop window implements this with
// widgets; tests and the command line implement it with scripted answers.
//
// Panels: every question below is one modal run through RunLoop::runModal (so the
// document's timers hold still while it waits). An implementation runs it as a sheet on
// its window once the window is shown, and as a free-standing application-modal panel
// before that (a document that fails to open may never show its window at all).
class DocumentWindow {
public:
    virtual ~DocumentWindow() = default;

    // The message panel: `message` with the default button `defaultTitle` and, when
    // `otherTitle` is not empty, a second button with that title. Returns 1 for the
    // default button, 0 for the other one, RunLoop::AbortCode when the run was aborted.
    virtual int prompt(const QString& message, const QString& defaultTitle,
                       const QString& otherTitle = QString()) = 0;

    // The file-password panel with `prompt` as its message: the typed text, or nullopt
    // when the user cancelled (an aborted run counts as a cancel).
    virtual std::optional<QString> askFilePassword(const QString& prompt) = 0;

    // The document has opened: `entries` (the document's `passwordArray`, which lives as
    // long as the document) becomes the list's rows. The window refreshes the controls
    // that depend on the selection and gives the list the keyboard focus.
    virtual void showEntries(EntryList& entries) = 0;

    // The rows changed as a whole (load, reload, merge; also after the save that sorted
    // them, when the document itself started that save): redisplay.
    // Row indices taken before this call no longer mean anything.
    virtual void reloadList() = 0;

    // Selection of rows of the list (indices into `passwordArray`).
    virtual void selectRows(const QList<int>& rows) = 0;
    virtual void deselectAll() = 0;

    // The package folder is writable or not. Not writable: the read-only mark is shown
    // and the add, delete and duplicate buttons are hidden.
    virtual void setWriteable(bool writeable) = 0;

    // Closes the window, which ends the document: the window's closing must call
    // MyDocument::windowWillClose() (calling it more than once is harmless). The document
    // may be inside one of its own steps when it asks for this (a failed open, a question
    // answered by closing), so it must be deleted later (deleteLater), never right here.
    virtual void closeWindow() = 0;
};

}  // namespace quorly
