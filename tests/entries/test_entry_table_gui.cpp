#include "entries/desktop/KTTableViewArray.h"

#include <QHelpEvent>
#include <QIcon>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace quorly;

namespace {

// Answers like a document would and records what the table told it.
class Recorder : public KTTableViewArrayDelegate {
public:
    bool KTTableViewArrayAddEntry(KTTableViewArray*) override
    {
        ++adds;
        return true;
    }
    void KTTableViewArrayEditEntryAtIndex(KTTableViewArray*, int row) override { opened << row; }
    bool confirmDelete(int count) override
    {
        deleteCounts << count;
        return allowDelete;
    }
    void KTTableViewArraySelectionDidChange(KTTableViewArray* table) override
    {
        selections << table->numberOfSelectedRows();
    }
    void KTTableViewArrayChanged(KTTableViewArray* table) override
    {
        sizesWhenChanged << table->array().size();
    }
    void KTTableViewArrayWillDisplayCell(KTTableViewArray* table, KTTableCell& cell, int column,
                                         int row) override
    {
        if (column != 0)
            return;
        const bool url = !table->array().at(row)->string(EntryKey::WebsiteURL).isEmpty();
        cell.imageName = url ? QStringLiteral("website") : QStringLiteral("blank");
        cell.enabled = url;
    }
    QString KTTableViewArrayToolTipForCell(KTTableViewArray*, const QRect&, int, int row,
                                           const QPoint&) override
    {
        hovered << row;
        return QStringLiteral("row %1").arg(row);
    }

    bool allowDelete = true;
    int adds = 0;
    QList<int> opened, deleteCounts, selections, sizesWhenChanged, hovered;
};

class EntryTable : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"alpha", "beta", "gamma", "delta"}) {
            Entry e;
            e.setName(QString::fromLatin1(name));
            e.setString(EntryKey::Button, QString());
            list.append(makeEntry(e));
        }
        list.at(1)->setString(EntryKey::WebsiteURL, QStringLiteral("example.org"));
        table = std::make_unique<KTTableViewArray>(list, &recorder,
                                                   QStringList{"Button", "Path"});
        table->resize(300, 300);
        table->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(table.get()));
        table->setFocus();
    }

    QPoint centreOf(int column, int row) const
    {
        return table->visualRect(table->model()->index(row, column)).center();
    }
    void click(int column, int row)
    {
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, centreOf(column, row));
    }

    EntryList list;
    Recorder recorder;
    std::unique_ptr<KTTableViewArray> table;
};

}  // namespace

TEST_F(EntryTable, ShowsTheListItWasGiven)
{
    EXPECT_EQ(table->numberOfRows(), 4);
    EXPECT_EQ(table->model()->data(table->model()->index(2, 1)).toString(), "gamma");
    list.at(2)->setName(QStringLiteral("renamed"));
    list.append(makeEntry());
    table->reloadData();
    EXPECT_EQ(table->numberOfRows(), 5);
    EXPECT_EQ(table->model()->data(table->model()->index(2, 1)).toString(), "renamed");
    table->unbind();
    EXPECT_EQ(table->numberOfRows(), 0);
    EXPECT_EQ(list.size(), 5);
}

TEST_F(EntryTable, ConfirmedDeleteRemovesScatteredRowsFromTheSameListInOnePass)
{
    for (int i = 0; i < 40; ++i)
        list.append(makeEntry());
    table->reloadData();
    const EntryRef kept = list.at(0);
    QList<int> odd;
    for (int row = 1; row < list.size(); row += 2)
        odd << row;
    table->selectRowIndexes(odd);
    QTest::keyClick(table.get(), Qt::Key_Delete);
    EXPECT_EQ(recorder.deleteCounts, QList<int>{22});
    ASSERT_EQ(list.size(), 22);
    EXPECT_EQ(list.at(0), kept);
    EXPECT_EQ(list.at(1)->name(), "gamma");
    EXPECT_EQ(recorder.sizesWhenChanged, QList<int>{22});  // told once, after the removal
    EXPECT_EQ(table->numberOfRows(), 22);
    EXPECT_EQ(table->numberOfSelectedRows(), 0);
    EXPECT_EQ(recorder.selections.last(), 0);
}

TEST_F(EntryTable, RefusedOrReadOnlyDeleteChangesNothing)
{
    recorder.allowDelete = false;
    table->selectRowIndexes({1});
    QTest::keyClick(table.get(), Qt::Key_Backspace);
    EXPECT_EQ(recorder.deleteCounts, QList<int>{1});
    EXPECT_EQ(list.size(), 4);
    EXPECT_TRUE(recorder.sizesWhenChanged.isEmpty());
    EXPECT_TRUE(table->isRowSelected(1));

    recorder.allowDelete = true;
    table->setEditable(false);
    QTest::keyClick(table.get(), Qt::Key_Delete);
    table->add();
    EXPECT_EQ(recorder.deleteCounts.size(), 1);
    EXPECT_EQ(recorder.adds, 0);
    EXPECT_EQ(list.size(), 4);
}

TEST_F(EntryTable, ReturnAndDoubleClickOpenARow)
{
    table->selectRowIndexes({2});
    QTest::keyClick(table.get(), Qt::Key_Return);
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, centreOf(1, 3));
    // A row without a website: its blank button opens the row like the name does.
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, centreOf(0, 0));
    EXPECT_EQ(recorder.opened, (QList<int>{2, 3, 0}));

    table->selectRowIndexes({0, 1});
    QTest::keyClick(table.get(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(recorder.opened.size(), 3);
}

TEST_F(EntryTable, WebsiteButtonsFollowTheDelegate)
{
    EXPECT_EQ(table->cellAt(0, 0).imageName, "blank");
    EXPECT_FALSE(table->cellAt(0, 0).enabled);
    EXPECT_EQ(table->cellAt(0, 1).imageName, "website");
    EXPECT_TRUE(table->cellAt(0, 1).enabled);
    EXPECT_FALSE(QIcon(QStringLiteral(":/images/website.png")).isNull());
    EXPECT_FALSE(QIcon(QStringLiteral(":/images/blank.png")).isNull());

    QSignalSpy clicks(table.get(), &KTTableViewArray::buttonClicked);
    click(0, 0);
    EXPECT_EQ(clicks.count(), 0);
    click(0, 1);
    ASSERT_EQ(clicks.count(), 1);
    EXPECT_EQ(clicks.at(0).at(1).toInt(), 1);
    EXPECT_EQ(table->selectedRowIndexes(), QList<int>{1});

    // A press that leaves the cell before the release is no click.
    QTest::mousePress(table->viewport(), Qt::LeftButton, {}, centreOf(0, 1));
    QTest::mouseRelease(table->viewport(), Qt::LeftButton, {}, centreOf(1, 2));
    EXPECT_EQ(clicks.count(), 1);
}

TEST_F(EntryTable, SelectionCalls)
{
    recorder.selections.clear();
    table->selectRowIndexes({3, 1});
    EXPECT_EQ(recorder.selections, QList<int>{2});
    EXPECT_EQ(table->selectedRowIndexes(), (QList<int>{1, 3}));
    EXPECT_TRUE(table->isRowSelected(3));
    EXPECT_FALSE(table->isRowSelected(2));
    // Selecting replaces, never extends.
    table->selectRowIndexes({2});
    EXPECT_EQ(table->selectedRow(), 2);
    EXPECT_EQ(table->numberOfSelectedRows(), 1);

    // A reload keeps the rows that still exist and reports when the selection went.
    table->selectRowIndexes({0, 3});
    list.removeAt(3);
    recorder.selections.clear();
    table->reloadData();
    EXPECT_EQ(table->selectedRowIndexes(), QList<int>{0});
    EXPECT_EQ(recorder.selections, QList<int>{1});
    table->selectRowIndexes({2});
    list.removeAt(2);
    table->reloadData();
    EXPECT_EQ(table->numberOfSelectedRows(), 0);
    EXPECT_EQ(recorder.selections.last(), 0);

    table->selectRowIndexes({1});
    table->deselectAll();
    EXPECT_EQ(table->selectedRow(), -1);
    EXPECT_EQ(recorder.selections.last(), 0);
}

TEST_F(EntryTable, HoverAsksTheDelegateForTheRowUnderTheMouse)
{
    const QPoint at = centreOf(1, 2);
    QHelpEvent help(QEvent::ToolTip, at, table->viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(table->viewport(), &help);
    EXPECT_EQ(recorder.hovered, QList<int>{2});
}
