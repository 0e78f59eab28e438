// The open of a password file as a user meets it: File > Open (or a file handed to the
// program) makes the document window, which asks for the password; the user types it and
// presses OK, and the window shows its entry list. Timed from the press of OK to the end
// of the first paint of the list that shows the file's rows (the pass of the event loop
// that painted it, flush to the window included). The program's own controller opens the
// file, with its menus, its recent-websites menu and the desktop's keychain.
//
// Each repetition is one open, listed on its own. The first one of a run is the first open
// of the process, as after the program's start (--benchmark_filter=/100000 makes it one
// of that size). Runs on the platform QT_QPA_PLATFORM names (offscreen when unset), with
// the keychain and the X server of scripts/with-test-services:
//   scripts/with-test-services env QT_QPA_PLATFORM=xcb build/rel/bin/bench_open_window_gui
//   scripts/with-test-services env QT_QPA_PLATFORM=offscreen build/rel/bin/bench_open_window_gui
#include "AnsweringWindow.h"
#include "app/desktop/AppIcon.h"
#include "app/desktop/Controller.h"
#include "entries/desktop/DocumentPanels.h"
#include "entries/desktop/DocumentWindowWidget.h"
#include "entries/desktop/KTTableViewArray.h"
#include "platform/Keychain.h"
#include "platform/desktop/SecretServiceKeychain.h"
#include "store/DocumentWindow.h"
#include "store/MyDocument.h"
#include "store/NewPasswordFile.h"

#include "app/GuiDriver.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <chrono>
#include <map>
#include <memory>
#include <random>

using namespace quorly;

namespace {

using Clock = std::chrono::steady_clock;

QTemporaryDir& scratch()
{
    static QTemporaryDir dir;
    return dir;
}

// The application and the controller as the program's main() sets them up. Both live to
// the end of the process: a QApplication destroyed among the statics after main() has
// returned may find its platform plugin gone.
Controller& controller()
{
    static Controller* made = [] {
        static int argc = 1;
        static char name[] = "bench_open_window_gui";
        static char* argv[] = {name, nullptr};
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        // Window frames and preferences go to a scratch folder, not to the user's.
        qputenv("XDG_CONFIG_HOME", scratch().filePath(QStringLiteral("config")).toLocal8Bit());
        qputenv("HOME", scratch().filePath(QStringLiteral("home")).toLocal8Bit());
        new QApplication(argc, argv);
        QCoreApplication::setOrganizationName(QStringLiteral("Quorly"));
        QCoreApplication::setApplicationName(QStringLiteral("Quorly"));
        QApplication::setWindowIcon(quorlyIcon());
        if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            setKeychain(std::make_shared<SecretServiceKeychain>());
        auto* c = new Controller;
        // Closing the last window would end the program.
        c->setQuitApplication([] {});
        c->awakeFromNib();
        return c;
    }();
    return *made;
}

// The entries of bench/cli_vs_keepassxc.py, as its CSV comes out of an import: a name,
// an address, one or two user IDs, a password of 14-23 characters, up to three lines of
// notes, and the import's login options.
Entry lifelikeEntry(int i, std::mt19937& rng)
{
    static const char* const words[] = {"north", "river", "maple", "cobalt", "harbor", "quartz",
                                        "meadow", "signal", "lumen", "atlas", "ember", "summit",
                                        "willow", "orbit", "cedar", "pixel", "delta", "fable"};
    static const char* const domains[] = {"com", "org", "net", "de", "co.uk", "io"};
    static const char* const noteLines[] = {
        "Security question: name of the first pet.", "Recovery codes are in the safe, envelope 3.",
        "Shared with the family account; change it every spring.",
        "Customer number 8841-2291-07, PIN on the letter of March.", "Two-factor through the phone app."};
    static const QString alphabet =
        QStringLiteral("abcdefghijkmnopqrstuvwxyzABCDEFGHJKLMNPQRSTVWXYZ23456789!-#$%+&()*");
    const auto pick = [&rng](const auto& from) {
        return QString::fromLatin1(from[rng() % std::size(from)]);
    };
    const QString a = pick(words), b = pick(words);
    const auto capital = [](QString w) { return w.left(1).toUpper() + w.mid(1); };

    Entry e = newEntryForImport(QStringLiteral("%1 %2 %3").arg(capital(a), capital(b)).arg(i));
    e.setString(EntryKey::WebsiteURL,
                QStringLiteral("https://www.%1%2%3.%4/account/login").arg(a, b).arg(i).arg(pick(domains))
                    + QStringLiteral("?next=%2Fhome"));
    e.setString(EntryKey::WebsiteUserID,
                QStringLiteral("%1.%2%3@example-mail.org").arg(pick(words), pick(words)).arg(rng() % 100));
    if (i % 4 == 0)
        e.setString(EntryKey::WebsiteUserID2, QStringLiteral("customer-%1").arg(rng() % 100000000, 8, 10, QLatin1Char('0')));
    QString password;
    for (int n = 14 + int(rng() % 10); n > 0; --n)
        password += alphabet.at(int(rng() % alphabet.size()));
    e.setString(EntryKey::WebsitePassword, password);
    QStringList notes;
    for (int n = int(rng() % 4); n > 0; --n)
        notes << pick(noteLines);
    e.setString(EntryKey::Notes, notes.join(QLatin1Char('\n')));
    return e;
}

// One package per size, made once by a document's own save.
QString packageWith(int n)
{
    static std::map<int, QString> made;
    if (auto it = made.find(n); it != made.end())
        return it->second;
    const QString path = scratch().filePath(QStringLiteral("open%1.qly").arg(n));
    createPasswordFile(path, bench::kFramis);
    bench::AnsweringWindow window;
    MyDocument document(path);
    document.setWindow(&window);
    document.setRecordsLastFile(false);
    document.openDatabase();
    std::mt19937 rng(17);
    QList<EntryRef> entries;
    entries.reserve(n);
    for (int i = 0; i < n; ++i)
        entries.append(makeEntry(lifelikeEntry(i, rng)));
    document.passwordArray().replaceAll(std::move(entries));
    document.KTTableViewArrayChanged();
    document.close();
    made[n] = path;
    return path;
}

// Sees the first paint of the list once the document is open and notes when the pass of
// the event loop that painted it has ended.
class FirstPaint : public QObject {
public:
    FirstPaint(MyDocument* document, KTTableViewArray* table) : document_(document), table_(table)
    {
        table->viewport()->installEventFilter(this);
    }

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !paintStart_ && document_->isOpen() &&
            table_->numberOfRows() > 0) {
            paintStart_ = Clock::now();
            QMetaObject::invokeMethod(this, [this] { painted_ = Clock::now(); }, Qt::QueuedConnection);
        }
        return false;
    }

    std::optional<Clock::time_point> paintStart_, painted_;

private:
    MyDocument* document_;
    KTTableViewArray* table_;
};

double msBetween(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double, std::milli>(b - a).count();
}

void BM_OpenWindowToFirstPaint(benchmark::State& state)
{
    Controller& program = controller();
    const int count = int(state.range(0));
    const QString path = packageWith(count);
    state.SetLabel(QGuiApplication::platformName().toStdString());
    double windowMs = 0, openedMs = 0, paintMs = 0;
    for (auto _ : state) {
        std::optional<Clock::time_point> asked, ok, opened;
        std::unique_ptr<FirstPaint> watch;
        DocumentWindowWidget* window = nullptr;
        // The window is made inside the open: the watch goes on it as it appears.
        const QMetaObject::Connection created = QObject::connect(
            &program, &Controller::documentWindowCreated, [&](DocumentWindowWidget* made) {
                window = made;
                watch = std::make_unique<FirstPaint>(made->document(), made->table());
                QObject::connect(made->document(), &MyDocument::opened, [&opened] { opened = Clock::now(); });
                whenShown(made->passwordPanel(), [&, panel = made->passwordPanel()] {
                    asked = Clock::now();
                    panel->field()->setText(bench::kFramis);
                    ok = Clock::now();
                    panel->defaultButton()->click();
                });
            });
        const Clock::time_point start = Clock::now();
        program.applicationOpenFile(path);
        QObject::disconnect(created);
        waitFor([&watch] { return watch && watch->painted_; });
        if (!window || !watch->painted_ || !ok || !opened || window->document()->passwordArray().size() != count) {
            state.SkipWithError("the window did not open the file");
            break;
        }
        state.SetIterationTime(msBetween(*ok, *watch->painted_) / 1000.0);
        windowMs += msBetween(start, *asked);
        openedMs += msBetween(*ok, *opened);
        paintMs += msBetween(*watch->paintStart_, *watch->painted_);

        watch.reset();
        window->close();
        waitFor([&program] { return program.windows().isEmpty(); });
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
    }
    const double n = double(state.iterations());
    // Before OK (not in the time): making and showing the window up to the question.
    state.counters["to_question_ms"] = windowMs / n;
    // From OK to the document's being open (decrypt, read, show the entries).
    state.counters["to_open_ms"] = openedMs / n;
    // The paint of the list and the rest of its pass of the event loop.
    state.counters["paint_ms"] = paintMs / n;
}
BENCHMARK(BM_OpenWindowToFirstPaint)
    ->Arg(10000)
    ->Arg(100000)
    ->Iterations(1)
    ->Repetitions(7)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
