// The import dialog over a real document window and password file: a browser export
// arranged by dragging column titles, the records left out and reported, one save.
#include "entries/desktop/DocumentPanels.h"
#include "entries/desktop/DocumentWindowWidget.h"
#include "import/desktop/ImportDialog.h"
#include "import/desktop/ImportPasswordData.h"
#include "platform/RunLoop.h"
#include "store/DocumentTestSupport.h"

#include "app/GuiDriver.h"
#include "app/OpenInWindow.h"
#include "app/ScratchHome.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTableView>

#include <gtest/gtest.h>

using namespace quorly;

namespace {

class ImportWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(openNewFileInWindow(scratch.home() + "/Entries.qly", "pw", document, window));
        import = window->findChild<ImportPasswordData*>("importPasswordData");
        ASSERT_TRUE(import);
    }
    void TearDown() override { closeWindowAndDocument(document, window); }

    ImportDialog* dialog() { return import->dialog(); }
    // Chooses `file` in the open panel and answers the dialog with `answer` once shown.
    void importWith(const QString& file, std::function<void(ImportDialog*)> answer)
    {
        import->setFileChooser([file](QWidget*) { return std::optional<QString>(file); });
        whenShown(dialog(), [this, answer] { answer(dialog()); });
        window->runCommand("importPasswordDataBegin:");
    }
    QList<EntryRef> stored() { return test::readEntriesFile(document->dataPath(), "pw").value_or(QList<EntryRef>{}); }

    ScratchHome scratch;
    MyDocument* document = nullptr;
    DocumentWindowWidget* window = nullptr;
    ImportPasswordData* import = nullptr;
};

}  // namespace

TEST_F(ImportWindow, AFirefoxExportArrangedByDraggingImportsEveryCharacter)
{
    importWith(QUORLY_TEST_DATA_DIR "/import/firefox.csv", [](ImportDialog* d) {
        EXPECT_EQ(d->separator(), Separator::Comma);
        EXPECT_TRUE(d->firstLineBox()->isChecked());  // the titles line is recognised
        EXPECT_EQ(d->records()->rowCount(), 6);
        // url, username, password: drag "URL", "User ID 1" and "Password" to the front.
        d->moveColumn(1, 0);
        d->moveColumn(2, 1);
        d->moveColumn(4, 2);
        EXPECT_EQ(d->columns().titleAt(3), "Name");
        EXPECT_FALSE(d->columns().isMarked(3));
        d->okButton()->click();
    });
    ASSERT_EQ(stored().size(), 5);
    const EntryRef shop = document->passwordArray().entryWithName("shop.example.org");
    ASSERT_TRUE(shop);
    EXPECT_EQ(shop->string(EntryKey::WebsiteUserID), " lead");
    EXPECT_EQ(shop->string(EntryKey::WebsitePassword), "say \"hi\"");
    const EntryRef bank = document->passwordArray().entryWithName("bank.example.net");
    ASSERT_TRUE(bank);
    EXPECT_EQ(bank->string(EntryKey::WebsiteUserID), "名前");
    EXPECT_EQ(bank->string(EntryKey::WebsitePassword), "tail ");
    EXPECT_EQ(document->passwordArray().entryWithName("intranet.example")->string(EntryKey::WebsiteUserID),
              "multi\nline");
    EXPECT_FALSE(dialog()->isVisible());
}

TEST_F(ImportWindow, MarksStayWithPositionsAcrossSeparatorChangesAndShortRecordsAreReported)
{
    const QString file = scratch.home() + "/short.txt";
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write("Bank;bank.example;me;;secret\nShort;text\n;;\nMail;mail.example;you;;pw\n");
    out.close();

    QString reported;
    int leftOver = -1;
    importWith(file, [&](ImportDialog* d) {
        d->clickCheckBox(1);
        d->clickCheckBox(4);
        d->clickCheckBox(0);  // "Name" cannot be unticked
        d->setSeparator(Separator::Semicolon);
        EXPECT_TRUE(d->columns().isMarked(0) && d->columns().isMarked(1) && d->columns().isMarked(4));
        EXPECT_EQ(d->records()->rowCount(), 4);
        EXPECT_FALSE(d->firstLineBox()->isChecked());
        // After the import the dialog stays, lists what was left and offers only OK.
        whenReady([d] { return d->isReporting(); }, [&, d] {
            reported = d->errorMessage()->text();
            leftOver = d->records()->rowCount();
            EXPECT_FALSE(d->cancelButton()->isVisible());
            EXPECT_EQ(d->okButton()->text(), "OK");
            d->okButton()->click();
        });
        d->okButton()->click();
    });
    EXPECT_EQ(leftOver, 1);
    EXPECT_TRUE(reported.contains("1 of these records")) << reported.toStdString();
    const QList<EntryRef> entries = stored();
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries.at(0)->string(EntryKey::WebsitePassword), "secret");
    EXPECT_EQ(entries.at(1)->string(EntryKey::WebsiteURL), "mail.example");
}

TEST_F(ImportWindow, CancelOrAnUnreadableFileChangesNothing)
{
    const auto before = test::snapshot(document->fileName());
    importWith(QUORLY_TEST_DATA_DIR "/import/chrome.csv", [](ImportDialog* d) { d->cancelButton()->click(); });
    EXPECT_TRUE(document->passwordArray().isEmpty());

    QString told;
    import->setFileChooser([this](QWidget*) { return std::optional<QString>(scratch.home() + "/gone.csv"); });
    whenShown(window->promptPanel(), [&] {
        told = window->promptPanel()->message();
        window->promptPanel()->defaultButton()->click();
    });
    window->runCommand("importPasswordDataBegin:");
    EXPECT_TRUE(told.contains("gone.csv") && told.contains("Nothing was imported")) << told.toStdString();
    EXPECT_EQ(test::snapshot(document->fileName()), before);
}
