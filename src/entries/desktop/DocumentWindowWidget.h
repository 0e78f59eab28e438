#pragma once

#include "entries/MenuValidation.h"
#include "store/DocumentWindow.h"
#include "store/MyDocument.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace quorly {

class EntryTableController;
class KTTableViewArray;
class MyDocument;
class PasswordPanel;
class PromptPanel;

// The window of one open password file: the search field, the list of entry names, the
// add, delete and duplicate buttons and the read-only mark, and the document's panels,
// which run as sheets on it. The document keeps every rule; this only shows and asks.
class DocumentWindowWidget : public QMainWindow, public DocumentWindow {
    Q_OBJECT
public:
    explicit DocumentWindowWidget(MyDocument* document, QWidget* parent = nullptr);
    ~DocumentWindowWidget() override;

    MyDocument* document() const { return document_; }

    // DocumentWindow
    int prompt(const QString& message, const QString& defaultTitle, const QString& otherTitle = QString()) override;
    std::optional<QString> askFilePassword(const QString& prompt) override;
    void showEntries(EntryList& entries) override;
    void reloadList() override;
    void selectRows(const QList<int>& rows) override;
    void deselectAll() override;
    void setWriteable(bool writeable) override;
    void closeWindow() override;

    // A question with OK and Cancel as a sheet (the delete confirmation and the like):
    // true for OK.
    bool confirm(const QString& message, const QString& okTitle = QStringLiteral("OK"));

    // Commands of the window's menu items.
    void find();
    void findNext();
    void duplicateEntry();
    void deleteEntries();
    QList<int> selectedRows() const;
    MenuState menuState() const;
    bool isWriteable() const { return writeable_; }
    // `KTTableViewArraySelectionDidChange:`: the duplicate and delete buttons and
    // `gWebsiteItem` follow the selection.
    void selectionDidChange();

    // Commands that other parts of the program provide (the entry editor, import,
    // export, printing, help, ...), by the action name of their menu item. A menu item
    // whose command is not provided stays disabled.
    void setCommand(const QString& action, std::function<void()> handler);
    bool hasCommand(const QString& action) const;
    bool runCommand(const QString& action);

    // The preference key under which the frame of a file's window is kept: one per file
    // (by its path, so that same-named files in different folders keep their own), so a
    // file opens where it was left.
    static QString frameKey(const QString& fileName);

    PromptPanel* promptPanel() const { return promptPanel_; }
    PasswordPanel* passwordPanel() const { return passwordPanel_; }
    PromptPanel* confirmPanel() const { return confirmPanel_; }
    KTTableViewArray* table() const { return table_; }
    EntryTableController* tableController() const { return tableController_; }
    QLineEdit* searchField() const { return searchField_; }
    QLabel* notFoundMessage() const { return notFoundMessage_; }
    QLabel* readOnlyIcon() const { return readOnlyIcon_; }
    QPushButton* addButton() const { return addButton_; }
    QPushButton* deleteButton() const { return deleteButton_; }
    QPushButton* duplicateButton() const { return duplicateButton_; }

signals:
    // The window became the active (main) window.
    void becameMain(DocumentWindowWidget* window);
    // The window has closed and its document has ended.
    void windowClosed(DocumentWindowWidget* window);
    // The user asked for the list's context menu at `globalPosition` (a right click
    // has selected the row under it by then).
    void entryMenuRequested(DocumentWindowWidget* window, const QPoint& globalPosition);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

private:
    void restoreFrame();
    void saveFrame();

    QPointer<MyDocument> document_;
    EntryList* entries_ = nullptr;
    bool writeable_ = true;
    bool closed_ = false;
    QHash<QString, std::function<void()>> commands_;

    QLineEdit* searchField_;
    QLabel* notFoundMessage_;
    KTTableViewArray* table_;
    EntryTableController* tableController_;
    QPushButton* addButton_;
    QPushButton* deleteButton_;
    QPushButton* duplicateButton_;
    QLabel* readOnlyIcon_;
    PromptPanel* promptPanel_;
    PasswordPanel* passwordPanel_;
    PromptPanel* confirmPanel_;
};

}  // namespace quorly
