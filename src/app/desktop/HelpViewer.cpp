#include "app/desktop/HelpViewer.h"

#include "platform/desktop/Resources.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QSplitter>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace quorly {

namespace {

const QUrl kBook(QStringLiteral("qrc:/help/index.html"));
constexpr int kAnchorRole = Qt::UserRole;

// The anchors named inside one block of the book.
QStringList anchorsOf(const QTextBlock& block)
{
    QStringList names;
    for (auto it = block.begin(); !it.atEnd(); ++it)
        names += it.fragment().charFormat().anchorNames();
    return names;
}

// A section: a heading of the book, the anchor that opens it and its text up to the
// next heading of the same or a higher level.
struct Section {
    QString title;
    QString anchor;
    int level = 0;
    QString text;
};

QList<Section> sectionsOf(const QTextDocument* book)
{
    QList<Section> sections;
    for (QTextBlock block = book->begin(); block.isValid(); block = block.next()) {
        const int level = block.blockFormat().headingLevel();
        if (level > 0) {
            const QStringList anchors = anchorsOf(block);
            sections.append({block.text(), anchors.value(0), level, block.text()});
        } else if (!sections.isEmpty()) {
            sections.last().text += u'\n' + block.text();
        }
    }
    return sections;
}

}  // namespace

HelpViewer::HelpViewer(QWidget* parent) : QWidget(parent, Qt::Window)
{
    initResources();
    setObjectName(QStringLiteral("helpViewer"));
    setWindowTitle(tr("Quorly Help"));
    resize(820, 600);

    auto* splitter = new QSplitter(this);
    auto* side = new QWidget(splitter);
    auto* sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(0, 0, 0, 0);
    searchField_ = new QLineEdit(side);
    searchField_->setObjectName(QStringLiteral("helpSearchField"));
    searchField_->setPlaceholderText(tr("Search the help"));
    searchField_->setClearButtonEnabled(true);
    contents_ = new QTreeWidget(side);
    contents_->setObjectName(QStringLiteral("helpContents"));
    contents_->setHeaderHidden(true);
    results_ = new QListWidget(side);
    results_->setObjectName(QStringLiteral("helpSearchResults"));
    results_->hide();
    sideLayout->addWidget(searchField_);
    sideLayout->addWidget(contents_, 1);
    sideLayout->addWidget(results_, 1);

    browser_ = new QTextBrowser(splitter);
    browser_->setObjectName(QStringLiteral("helpBrowser"));
    browser_->setOpenExternalLinks(true);
    browser_->setSource(kBook);
    splitter->addWidget(side);
    splitter->addWidget(browser_);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({220, 600});
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(splitter);

    buildContents();
    const auto go = [this](const QString& anchor) {
        if (!anchor.isEmpty())
            browser_->scrollToAnchor(anchor);
    };
    connect(contents_, &QTreeWidget::itemActivated, this,
            [go](QTreeWidgetItem* item) { go(item->data(0, kAnchorRole).toString()); });
    connect(contents_, &QTreeWidget::itemClicked, this,
            [go](QTreeWidgetItem* item) { go(item->data(0, kAnchorRole).toString()); });
    connect(results_, &QListWidget::itemClicked, this, [this, go](QListWidgetItem* item) {
        go(item->data(kAnchorRole).toString());
        // The first place the words occur in that section is marked.
        const QStringList words = searchField_->text().split(u' ', Qt::SkipEmptyParts);
        if (!words.isEmpty())
            browser_->find(words.first());
    });
    connect(searchField_, &QLineEdit::textChanged, this, &HelpViewer::search);
}

void HelpViewer::buildContents()
{
    contents_->clear();
    QList<QTreeWidgetItem*> parents;  // the open item of each level above
    for (const Section& section : sectionsOf(browser_->document())) {
        auto* item = new QTreeWidgetItem({section.title});
        item->setData(0, kAnchorRole, section.anchor);
        while (!parents.isEmpty() && parents.size() >= section.level)
            parents.removeLast();
        if (parents.isEmpty())
            contents_->addTopLevelItem(item);
        else
            parents.last()->addChild(item);
        parents.append(item);
    }
    contents_->expandAll();
}

QStringList HelpViewer::anchors() const
{
    QStringList names;
    for (QTextBlock block = browser_->document()->begin(); block.isValid(); block = block.next())
        names += anchorsOf(block);
    return names;
}

QStringList HelpViewer::sectionsMatching(const QString& words) const
{
    const QStringList wanted = words.split(u' ', Qt::SkipEmptyParts);
    QStringList found;
    if (wanted.isEmpty())
        return found;
    for (const Section& section : sectionsOf(browser_->document())) {
        const bool all = std::all_of(wanted.begin(), wanted.end(), [&](const QString& word) {
            return section.text.contains(word, Qt::CaseInsensitive);
        });
        if (all)
            found.append(section.anchor);
    }
    return found;
}

void HelpViewer::search(const QString& words)
{
    results_->clear();
    const bool searching = !words.trimmed().isEmpty();
    contents_->setVisible(!searching);
    results_->setVisible(searching);
    if (!searching)
        return;
    const QList<Section> sections = sectionsOf(browser_->document());
    for (const QString& anchor : sectionsMatching(words)) {
        for (const Section& section : sections) {
            if (section.anchor == anchor) {
                auto* item = new QListWidgetItem(section.title, results_);
                item->setData(kAnchorRole, anchor);
                break;
            }
        }
    }
    if (results_->count() == 0)
        new QListWidgetItem(tr("No section contains these words."), results_);
}

bool HelpViewer::showHelp(const QString& anchor)
{
    shownAnchor_ = anchor;
    const bool known = anchors().contains(anchor);
    if (known)
        browser_->scrollToAnchor(anchor);
    else
        browser_->verticalScrollBar()->setValue(0);
    show();
    raise();
    activateWindow();
    return known;
}

}  // namespace quorly
