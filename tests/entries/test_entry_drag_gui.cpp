// Entries dragged between the lists of two real document windows in one process: the
// drag's data made by the source table, the drop delivered to the target table as the
// window system delivers it.
#include "app/Preferences.h"
#include "entries/EntryDrag.h"
#include "entries/desktop/DocumentPanels.h"
#include "entries/desktop/DocumentWindowWidget.h"
#include "entries/desktop/KTTableViewArray.h"
#include "store/MyDocument.h"

#include "app/GuiDriver.h"
#include "app/OpenInWindow.h"
#include "app/ScratchHome.h"
#include "store/DocumentTestSupport.h"

#include <QDragMoveEvent>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <memory>

using namespace quorly;

namespace {

struct OpenFile {
    MyDocument* document = nullptr;
    DocumentWindowWidget* window = nullptr;
    EntryList& list() { return document->passwordArray(); }
    KTTableViewArray* table() { return window->table(); }
};

class EntryDragWindows : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(open(source, "Home.qly", {"Bank", "Work/Mail", "Mail"}));
        ASSERT_TRUE(open(target, "Work.qly", {"Bank"}));
        Entry& bank = *source.list().at(0);
        ASSERT_EQ(bank.name(), "Bank");
        bank.setString(EntryKey::WebsitePassword, "s3cret");
        bank.setInteger(EntryKey::PasswordOptions, 1);
        bank.setBool(EntryKey::UserIDReturnSwitch, true);
        bank.set(EntryKey::PasswordLength, EntryValue(qint64(20)));
        ASSERT_TRUE(source.document->KTTableViewArrayChanged());
    }
    void TearDown() override
    {
        for (OpenFile* file : {&source, &target})
            closeWindowAndDocument(file->document, file->window);
    }

    bool open(OpenFile& file, const QString& name, const QStringList& entries)
    {
        if (!openNewFileInWindow(scratch.home() + "/" + name, "pw", file.document, file.window))
            return false;
        for (const QString& entryName : entries) {
            Entry e = newEntryForAdd();
            e.setName(entryName);
            file.list().append(makeEntry(e));
        }
        const bool saved = file.document->KTTableViewArrayChanged();
        file.window->reloadList();
        return saved;
    }

    // What the source table puts on the drag for `rows`.
    std::unique_ptr<QMimeData> dragFrom(OpenFile& file, const QList<int>& rows)
    {
        QModelIndexList indexes;
        for (int row : rows)
            indexes << file.table()->model()->index(row, 1);
        return std::unique_ptr<QMimeData>(file.table()->model()->mimeData(indexes));
    }

    // Moves `data` over the target's list and drops it there, as the window system does.
    // Returns the action the list offered while the drag moved over it, and whether it
    // took the drop.
    std::pair<Qt::DropAction, bool> dropOn(OpenFile& file, const QMimeData* data)
    {
        QWidget* viewport = file.table()->viewport();
        const QPoint at(viewport->width() / 2, viewport->height() - 4);
        const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
        QDragEnterEvent enter(at, offered, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        QDragMoveEvent move(at, offered, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &move);
        const Qt::DropAction shown = move.isAccepted() ? move.dropAction() : Qt::IgnoreAction;
        QDropEvent drop(QPointF(at), offered, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &drop);
        return {shown, drop.isAccepted()};
    }

    ScratchHome scratch;
    OpenFile source, target;
};

TEST_F(EntryDragWindows, DroppedEntriesArriveWholeUnderUniqueNamesWithOneSave)
{
    const auto data = dragFrom(source, {0, 1, 2});  // Bank Mail Work/Mail
    ASSERT_TRUE(data);
    EXPECT_EQ(data->formats(), (QStringList{"PW Items", "DB Path"}));
    EXPECT_EQ(EntryDrag::pathFromData(data->data("DB Path")), source.document->fileName());
    const QByteArray sourceFile = test::snapshot(source.document->fileName()).value("Data.qlyi");
    Preferences::setInteger(PrefKey::TypeSpeed, 80);

    QSignalSpy reloads(target.table()->model(), &QAbstractItemModel::modelReset);
    const auto [shown, taken] = dropOn(target, data.get());
    EXPECT_NE(shown, Qt::IgnoreAction);
    EXPECT_TRUE(taken);
    ASSERT_TRUE(waitFor([&] { return target.list().size() == 4; }));
    EXPECT_EQ(test::namesOf(target.list()), (QStringList{"Bank", "Bank2", "Mail", "Mail2"}));
    EXPECT_EQ(reloads.count(), 1);  // one save, one redisplay

    // Every key but the name arrives as it was.
    Entry expected = *source.list().at(0);
    expected.setName("Bank2");
    EXPECT_EQ(*target.list().at(1), expected);
    EXPECT_EQ(target.list().at(1)->items(), expected.items());

    // What another program finds in the target's file; the source's file is untouched.
    const auto stored = test::readEntriesFile(target.document->dataPath(), "pw");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->size(), 4);
    EXPECT_EQ(test::snapshot(source.document->fileName()).value("Data.qlyi"), sourceFile);
    EXPECT_EQ(source.list().size(), 3);
    // Reading the stored file left the preferences where they were: an integer written
    // before it still reads back as written.
    EXPECT_EQ(Preferences::integer(PrefKey::TypeSpeed), 80);
}

TEST_F(EntryDragWindows, TheSameFileForeignDataAndAReadOnlyFileRefuse)
{
    const auto ownRows = dragFrom(source, {0});
    EXPECT_EQ(dropOn(source, ownRows.get()), std::make_pair(Qt::IgnoreAction, false));

    QMimeData text;
    text.setText("Bank\tsecret");
    EXPECT_EQ(dropOn(target, &text), std::make_pair(Qt::IgnoreAction, false));

    target.window->setWriteable(false);
    EXPECT_EQ(dropOn(target, ownRows.get()), std::make_pair(Qt::IgnoreAction, false));
    target.window->setWriteable(true);

    // Damaged entries: the user hears of it and nothing changes.
    QMimeData damaged;
    damaged.setData("PW Items", "not a property list");
    QString told;
    whenShown(target.window->promptPanel(), [&] {
        told = target.window->promptPanel()->message();
        target.window->promptPanel()->defaultButton()->click();
    });
    dropOn(target, &damaged);
    ASSERT_TRUE(waitFor([&] { return !told.isEmpty(); }));
    EXPECT_EQ(told, "The dragged entries cannot be added: their data is damaged. Nothing was changed.");

    QApplication::processEvents();
    EXPECT_EQ(test::namesOf(source.list()), (QStringList{"Bank", "Mail", "Work/Mail"}));
    EXPECT_EQ(test::namesOf(target.list()), QStringList{"Bank"});
    EXPECT_EQ(test::readEntriesFile(target.document->dataPath(), "pw")->size(), 1);
}

}  // namespace
