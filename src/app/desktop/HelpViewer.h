#pragma once

#include <QStringList>
#include <QWidget>

class QLineEdit;
class QListWidget;
class QTextBrowser;
class QTreeWidget;

namespace quorly {

// The help window: the help book (HTML in the program's resources) beside its table of
// contents, with a search field that lists the sections containing the words typed.
// The book is ours (resources/help): one page, with an anchor named after the title of
// every menu item (as `showHelp:` passes it, "Open…" with its ellipsis), one per
// preference key, and "ios" for the section on using password files on other devices.
class HelpViewer : public QWidget {
    Q_OBJECT
public:
    explicit HelpViewer(QWidget* parent = nullptr);

    // `showHelp:anchor:`: brings the window up at `anchor`. An anchor the book does not
    // have shows its beginning; false then.
    bool showHelp(const QString& anchor);

    // Every anchor the book defines.
    QStringList anchors() const;
    // The anchor the window was last asked to show.
    const QString& shownAnchor() const { return shownAnchor_; }

    QTextBrowser* browser() const { return browser_; }
    QTreeWidget* contents() const { return contents_; }
    QLineEdit* searchField() const { return searchField_; }
    QListWidget* searchResults() const { return results_; }

    // The sections (by their heading's anchor) whose text holds every word of `words`.
    QStringList sectionsMatching(const QString& words) const;

private:
    void buildContents();
    void search(const QString& words);

    QTextBrowser* browser_;
    QTreeWidget* contents_;
    QLineEdit* searchField_;
    QListWidget* results_;
    QString shownAnchor_;
};

}  // namespace quorly
