// quorly: the desktop program.
#include "app/SingleInstance.h"
#include "app/desktop/AppIcon.h"
#include "app/desktop/Controller.h"
#include "app/desktop/LoginServices.h"
#include "entries/desktop/DocumentWindowWidget.h"
#include "platform/CrashHandler.h"
#include "platform/Diagnostics.h"
#include "platform/Keychain.h"
#include "platform/ProcessProtection.h"
#include "platform/RunLoop.h"
#include "platform/TerminationSignals.h"
#include "platform/desktop/SecretServiceKeychain.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QIcon>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <cstdio>

#include <memory>

using namespace quorly;

namespace {

// --screenshot=FILE (not listed in --help): once the front document is open and no
// panel waits for an answer, and after `delayMsec` more for the window to settle, the
// window's area of the screen (with whatever lies on it) is saved as a PNG and the
// program quits. The project's screenshots are made this way.
void scheduleScreenshot(Controller* controller, const QString& file, int delayMsec)
{
    auto* poll = new QTimer(controller);
    QObject::connect(poll, &QTimer::timeout, controller, [controller, file, delayMsec, poll] {
        DocumentWindowWidget* window = controller->mainWindow();
        if (!window || !window->isVisible() || !window->document() || !window->document()->isOpen() ||
            RunLoop::inModalRun())
            return;
        poll->stop();
        QTimer::singleShot(delayMsec, controller, [controller, file] {
            QWidget* front = controller->mainWindow();
            bool saved = false;
            if (front) {
                front->raise();
                const QRect area = front->frameGeometry();
                QPixmap shot = front->screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
                if (shot.isNull())
                    shot = front->grab();
                saved = shot.save(file, "PNG");
            }
            std::fprintf(stderr, saved ? "quorly: screenshot saved\n" : "quorly: no screenshot taken\n");
            controller->quit();
        });
    });
    poll->start(200);
}

void describe(QCommandLineParser& parser, QCommandLineOption& screenshot, QCommandLineOption& screenshotDelay)
{
    parser.setApplicationDescription(
        QStringLiteral("Quorly keeps your website logins in encrypted password files (.qly folders).\n"
                       "Without FILE it reopens the password file used last, or offers to create one.\n"
                       "When Quorly is running already, the files open there and this start ends."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Password files to open."),
                                 QStringLiteral("[FILE...]"));
    screenshot.setFlags(QCommandLineOption::HiddenFromHelp);
    screenshotDelay.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(screenshot);
    parser.addOption(screenshotDelay);
}

void nameApplication()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Quorly"));
    QCoreApplication::setApplicationName(QStringLiteral("Quorly"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORLY_VERSION));
}

// --help and --version answer without a display, so they work over ssh and in scripts.
bool asksOnlyForText(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--")
            break;
        if (arg == "-h" || arg == "--help" || arg == "-?" || arg == "--help-all" || arg == "-v" ||
            arg == "--version")
            return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    protectProcessSecrets();
    // The images and icons live in the desktop library, a static one: their resource
    // table has to be asked for by name to be linked in.
    Q_INIT_RESOURCE(resources);
    QCommandLineOption screenshot(QStringLiteral("screenshot"), QString(), QStringLiteral("file"));
    QCommandLineOption screenshotDelay(QStringLiteral("screenshot-delay"), QString(), QStringLiteral("msec"),
                                       QStringLiteral("1500"));
    if (asksOnlyForText(argc, argv)) {
        QCoreApplication app(argc, argv);
        nameApplication();
        QCoreApplication::setApplicationName(QStringLiteral("quorly"));
        QCommandLineParser parser;
        describe(parser, screenshot, screenshotDelay);
        parser.process(app);  // prints and exits
        return 0;
    }

    // Before anything can crash: the report is what the support message carries.
    CrashHandler::install(Diagnostics::crashReportsFolder(), QStringLiteral(QUORLY_VERSION));

    preferX11Windows();
    QApplication app(argc, argv);
    nameApplication();
    QApplication::setApplicationDisplayName(QStringLiteral("Quorly"));
    QApplication::setDesktopFileName(QStringLiteral("quorly"));
    QApplication::setWindowIcon(quorlyIcon());

    QCommandLineParser parser;
    describe(parser, screenshot, screenshotDelay);
    parser.process(app);
    const QStringList files = parser.positionalArguments();

    // A later start hands its files to the program already running and ends. A
    // screenshot run is a developer's and always runs on its own.
    std::unique_ptr<SingleInstance> instance;
    if (!parser.isSet(screenshot)) {
        QStringList absolute;
        for (const QString& file : files)
            absolute << QFileInfo(file).absoluteFilePath();
        QString problem;
        const SingleInstance::Role role = SingleInstance::start(absolute, &instance, &problem);
        if (role == SingleInstance::Role::HandedOver)
            return 0;
        if (!problem.isEmpty())
            std::fprintf(stderr, "quorly: %s Running on its own.\n", qPrintable(problem));
    }

    setKeychain(std::make_shared<SecretServiceKeychain>());

    Controller controller;
    controller.setHotKeyInstaller(installLoginServices());
    controller.awakeFromNib();
    // A termination signal closes every document first, so that no private folder with
    // its plaintext outlives the program.
    handleTerminationSignals(&controller, [&controller] { controller.terminate(); });
    if (parser.isSet(screenshot))
        scheduleScreenshot(&controller, parser.value(screenshot), parser.value(screenshotDelay).toInt());
    if (instance)
        QObject::connect(instance.get(), &SingleInstance::filesHandedOver, &controller,
                         &Controller::openHandedOverFiles);
    // The files are opened from the event loop, as the desktop would hand them over.
    QTimer::singleShot(0, &controller, [&controller, files] { controller.launch(files); });
    return app.exec();
}
