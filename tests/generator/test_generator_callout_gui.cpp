// The generator callout over the entry editor of a real document window: opened from
// the editor's Generate button, answered with its buttons and keys.
#include "app/Preferences.h"
#include "app/StartUp.h"
#include "entries/desktop/DocumentWindowWidget.h"
#include "entries/desktop/EntryCallout.h"
#include "generator/desktop/PasswordGeneratorCallout.h"
#include "platform/RunLoop.h"
#include "store/FilePassword.h"
#include "store/Globals.h"
#include "store/MyDocument.h"

#include "app/GuiDriver.h"
#include "entries/EditInCallout.h"
#include "app/OpenInWindow.h"
#include "app/ScratchHome.h"
#include "store/DocumentTestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>

using namespace quorly;

namespace {

const QString kDate = QStringLiteral(R"(\d\d/\d\d/\d\d \d\d:\d\d [AP]M)");

class GeneratorCalloutTest : public ::testing::Test {
protected:
    // The file reader's own scratch environment first: made later, it would move the
    // preferences away from the scratch home in the middle of a test.
    static void SetUpTestSuite() { test::scratch(); }
    void SetUp() override
    {
        Preferences::setInteger(PrefKey::GeneratedPasswordLength, 20);
        ASSERT_TRUE(openNewFileInWindow(scratch.home() + "/Generator.qly", "pw", document, window));
        Entry bank = test::entry("Bank", "old");
        bank.setString(EntryKey::Notes, "pin 1234");
        document->passwordArray().append(makeEntry(bank));
        ASSERT_TRUE(document->KTTableViewArrayChanged());
        window->reloadList();
    }
    void TearDown() override
    {
        closeWindowAndDocument(document, window);
        gWebsiteItem.reset();
    }

    EntryCallout* editor() { return window->tableController()->entryCallout(); }
    PWDataCalloutView* view() { return editor()->pwDataCalloutView(); }
    PasswordGeneratorCallout* generator() { return editor()->passwordGenerator(); }
    PWGenerateCalloutView* choices() { return generator()->pwGenerateCalloutView(); }
    Entry stored() { return *test::readEntriesFile(document->dataPath(), "pw").value().first(); }
    // Presses Generate in the open editor and runs `answer` in the generator callout.
    void generate(std::function<void(PWGenerateCalloutView*)> answer)
    {
        whenReady([this] { return generator()->isOpen() && choices()->isVisible(); },
                  [this, answer] { answer(choices()); });
        view()->generateButton->click();
        EXPECT_FALSE(generator()->isOpen());
    }

    ScratchHome scratch;
    MyDocument* document = nullptr;
    DocumentWindowWidget* window = nullptr;
};

}  // namespace

TEST_F(GeneratorCalloutTest, GeneratedPasswordReplacesTheOldOneWhichTheNotesKeep)
{
    editInCallout(window, 0, [this] {
        // The window coming back to the front keeps the editor's copy current.
        window->selectionDidChange();
        EXPECT_EQ(gWebsiteItem, editor()->editedEntry());
        view()->showHideButton->click();  // bullets: the new password will show in clear
        ASSERT_FALSE(view()->passwordText->isVisibleTo(view()));
        generate([this](PWGenerateCalloutView* v) {
            EXPECT_EQ(generator()->callout()->parentWidget(), editor()->callout());
            EXPECT_EQ(v->passwordLengthPopup->count(), StartUp::offeredPasswordLengths().size());
            EXPECT_EQ(v->chosenLength(), 20);  // the preference, for an entry without a length
            EXPECT_TRUE(v->includeSpecialsSwitch->isChecked());
            v->passwordLengthPopup->setCurrentIndex(v->passwordLengthPopup->findData(12));
            v->includeSpecialsSwitch->click();
            v->okButton->click();
        });
        const QString password = view()->passwordText->text();
        EXPECT_EQ(password.size(), 12);
        EXPECT_FALSE(password.contains(QRegularExpression(R"([^A-Za-z0-9])"))) << qPrintable(password);
        EXPECT_EQ(view()->securePasswordText->text(), password);
        EXPECT_TRUE(view()->passwordText->isVisibleTo(view()));
        EXPECT_EQ(view()->showHideButton->text(), LoginOptions::HideTitle);
        EXPECT_TRUE(QRegularExpression("^pin 1234\n" + kDate + ": Password was: old\n$")
                        .match(view()->notesText->toPlainText()).hasMatch())
            << qPrintable(view()->notesText->toPlainText());
        view()->okButton->click();
    });
    const Entry saved = stored();
    EXPECT_EQ(saved.string(EntryKey::WebsitePassword).size(), 12);
    EXPECT_TRUE(saved.string(EntryKey::Notes).endsWith(": Password was: old\n"));
    EXPECT_EQ(saved.value(EntryKey::PasswordLength), EntryValue(qint64(12)));
    EXPECT_EQ(saved.value(EntryKey::IncludeSpecials), EntryValue(false));
}

TEST_F(GeneratorCalloutTest, CancelStoresOnlyTheDefaultsAndAnEmptyPasswordLeavesNoNote)
{
    editInCallout(window, 0, [this] {
        generate([](PWGenerateCalloutView* v) {
            v->passwordLengthPopup->setCurrentIndex(0);
            v->includeSpecialsSwitch->click();
            QTest::keyClick(v->passwordLengthPopup, Qt::Key_Escape);
        });
        EXPECT_EQ(view()->passwordText->text(), "old");
        EXPECT_EQ(view()->notesText->toPlainText(), "pin 1234");
        const EntryRef copy = editor()->editedEntry();
        EXPECT_EQ(copy->value(EntryKey::PasswordLength), EntryValue(qint64(20)));
        EXPECT_EQ(copy->value(EntryKey::IncludeSpecials), EntryValue(true));
        EXPECT_FALSE(view()->okButton->isEnabled());  // the defaults alone are no change

        view()->cancelButton->click();
    });
    EXPECT_FALSE(stored().contains(EntryKey::PasswordLength));

    editInCallout(window, -1, [this] {
        QTest::keyClicks(view()->nameText, "Mail");
        generate([](PWGenerateCalloutView* v) { QTest::keyClick(v->passwordLengthPopup, Qt::Key_Return); });
        EXPECT_EQ(view()->passwordText->text().size(), 20);
        EXPECT_EQ(view()->notesText->toPlainText(), "");
        view()->okButton->click();
    });
    EXPECT_EQ(test::namesOf(document->passwordArray()), (QStringList {"Bank", "Mail"}));
}

TEST_F(GeneratorCalloutTest, ClosingTheEditorTakesTheGeneratorAlongAndReadOnlyCannotGenerate)
{
    FilePassword* password = FilePassword::of(document);
    ASSERT_TRUE(password);
    editInCallout(window, 0, [&] {
        generate([&](PWGenerateCalloutView*) {
            // The editor's 30 seconds after the user went to another program, shortened.
            password->calloutTimer()->start(10, false);
        });
    });
    EXPECT_EQ(stored().string(EntryKey::WebsitePassword), "old");
    EXPECT_EQ(choices()->parentWidget(), window);  // home again for the next callout

    window->setWriteable(false);
    editInCallout(window, 0, [this] {
        EXPECT_FALSE(view()->generateButton->isEnabled());
        view()->cancelButton->click();
    });
}
