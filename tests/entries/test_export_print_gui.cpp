// Export and printing from a real document window: the save panel's answer, the status
// sheet, the file on disk; a PDF printed offscreen and read back with poppler's
// pdftotext and pdffonts.
#include "entries/desktop/DocumentWindowWidget.h"
#include "entries/desktop/ExportPasswordData.h"
#include "entries/desktop/KTTableViewArray.h"
#include "entries/desktop/PrintEntries.h"
#include "platform/RunLoop.h"

#include "app/GuiDriver.h"
#include "app/OpenInWindow.h"
#include "app/ScratchHome.h"

#include <QFontInfo>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace quorly;

namespace {

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

QString run(const QString& program, const QStringList& args)
{
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return QStringLiteral("<%1 failed: %2>").arg(program, QString::fromUtf8(process.readAllStandardError()));
    return QString::fromUtf8(process.readAllStandardOutput());
}

class ExportPrintWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(openNewFileInWindow(scratch.home() + "/Entries.qly", "pw", document, window));
        const auto add = [this](const QString& name, const QString& user, const QString& password,
                                const QString& notes) {
            Entry e = newEntryForAdd();
            e.setName(name);
            e.setString(EntryKey::WebsiteUserID, user);
            e.setString(EntryKey::WebsitePassword, password);
            e.setString(EntryKey::Notes, notes);
            document->passwordArray().append(makeEntry(e));
        };
        add("Bank", "jörg", "two  spaces", "PIN in\nthe drawer");
        add("Mail", "me", "q\"uote", "");
        add("Zoo", "", "", "");
        ASSERT_TRUE(document->KTTableViewArrayChanged());
        window->reloadList();
    }
    void TearDown() override { closeWindowAndDocument(document, window); }

    template <typename T> T* part(const char* name) { return window->findChild<T*>(QString::fromLatin1(name)); }

    ScratchHome scratch;
    MyDocument* document = nullptr;
    DocumentWindowWidget* window = nullptr;
};

}  // namespace

TEST_F(ExportPrintWindow, ExportWritesTheSelectedRowsPrivatelyAndSaysSo)
{
    auto* exporter = part<ExportPasswordData>("exportPasswordData");
    ASSERT_TRUE(exporter);
    const QString path = scratch.home() + "/Untitled.txt";
    window->table()->selectRowIndexes({2, 0});

    // A cancelled save panel writes nothing and shows no status sheet.
    exporter->setPathChooser([](QWidget*) { return std::nullopt; });
    window->runCommand("exportPasswordData:");
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_FALSE(exporter->exportStatusPanel()->isVisible());

    exporter->setPathChooser([&](QWidget*) { return std::optional<QString>(path); });
    QString told;
    whenReady([&] { return exporter->exportStatusPanel()->defaultButton()->isEnabled() &&
                           exporter->exportStatusPanel()->isVisible(); },
              [&] {
                  told = exporter->exportStatusPanel()->message();
                  exporter->exportStatusPanel()->defaultButton()->click();
              });
    window->runCommand("exportPasswordData:");
    EXPECT_TRUE(told.contains("2 entries were exported")) << told.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()),
              "\"Bank\",\"\",\"jörg\",\"\",\"two  spaces\",\"PIN in\nthe drawer\"\n\"Zoo\",\"\",\"\",\"\",\"\",\"\"\n");
    EXPECT_EQ(file.permissions() & ~(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser),
              QFile::Permissions());

    // A folder that cannot be written: the failure is said, not a success.
    const QString locked = scratch.home() + "/locked";
    QDir().mkpath(locked);
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
    if (::geteuid() != 0) {
        whenShown(exporter->exportStatusPanel(), [&] {
            whenReady([&] { return exporter->exportStatusPanel()->defaultButton()->isEnabled(); }, [&] {
                told = exporter->exportStatusPanel()->message();
                exporter->exportStatusPanel()->defaultButton()->click();
            });
        });
        EXPECT_FALSE(exporter->exportTo(locked + "/out.txt"));
        EXPECT_TRUE(told.contains("could not be written")) << told.toStdString();
    }
}

TEST_F(ExportPrintWindow, HelveticaResolvesToAMetricCompatibleFace)
{
    const std::unique_ptr<QTextDocument> text = printTextDocument(printItem(*document->passwordArray().at(0)));
    const QFont name = text->begin().begin().fragment().charFormat().font();
    EXPECT_EQ(name.pointSizeF(), 16.0);
    EXPECT_TRUE(name.bold());
    // fonts-urw-base35's Nimbus Sans has Helvetica's metrics; fontconfig maps the name.
    EXPECT_TRUE(QFontInfo(name).family().startsWith("Nimbus Sans")) << QFontInfo(name).family().toStdString();
}

TEST_F(ExportPrintWindow, PrintsToPdfWithTheMarginsOfEveryPrint)
{
    auto* printing = part<PrintEntries>("printEntries");
    ASSERT_TRUE(printing);
    const QString pdf = scratch.home() + "/entries.pdf";
    // Margins chosen in page set-up are replaced by 72 points at the next print.
    sharedPrintInfo().setPageMargins(QMarginsF(5, 5, 5, 5), QPageLayout::Point);
    printing->setPrintPanel([&](QPrinter& printer, QWidget*) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setPageSize(QPageSize(QPageSize::A4));
        return int(RunLoop::OKCode);
    });
    window->table()->selectRowIndexes({});
    window->runCommand("printDocument:");

    const QString text = run("pdftotext", {"-layout", pdf, "-"});
    EXPECT_TRUE(text.contains("Bank")) << text.toStdString();
    EXPECT_TRUE(text.contains("UserID: jörg")) << text.toStdString();
    EXPECT_TRUE(text.contains("Password: two  spaces") || text.contains("Password: two spaces"));
    EXPECT_TRUE(text.contains("Notes: PIN in")) << text.toStdString();
    EXPECT_TRUE(text.contains("Password: q\"uote"));
    EXPECT_TRUE(text.contains("Zoo"));

    const QString fonts = run("pdffonts", {pdf});
    EXPECT_TRUE(fonts.contains("NimbusSans-Bold")) << fonts.toStdString();
    EXPECT_TRUE(fonts.contains("NimbusSans-Regular")) << fonts.toStdString();

    // The first word stands at the left and top margins of 72 points.
    const QString boxes = run("pdftotext", {"-bbox", pdf, "-"});
    const QRegularExpressionMatch first =
        QRegularExpression(R"re(<word xMin="([\d.]+)" yMin="([\d.]+)"[^>]*>Bank<)re").match(boxes);
    ASSERT_TRUE(first.hasMatch()) << boxes.left(600).toStdString();
    EXPECT_NEAR(first.captured(1).toDouble(), 72.0, 1.5);
    EXPECT_NEAR(first.captured(2).toDouble(), 72.0, 4.0);

    // With rows selected only those print.
    window->table()->selectRowIndexes({1});
    window->runCommand("printDocument:");
    const QString selected = run("pdftotext", {pdf, "-"});
    EXPECT_TRUE(selected.contains("Mail"));
    EXPECT_FALSE(selected.contains("Bank"));
}

TEST_F(ExportPrintWindow, TheRealPrintPanelCancelledPrintsNothing)
{
    bool shown = false;
    whenReady([&] { return window->findChild<QPrintDialog*>() && window->findChild<QPrintDialog*>()->isVisible(); },
              [&] {
                  shown = true;
                  window->findChild<QPrintDialog*>()->reject();
              });
    EXPECT_FALSE(part<PrintEntries>("printEntries")->printPanelDidEnd(
        PrintEntries::runPrintPanel(sharedPrintInfo(), window)));
    EXPECT_TRUE(shown);
}
