// A window of our own that records what it receives: a text field under a title given
// on the command line. It prints "window ID" once it is on screen and "text BASE64"
// with the field's whole text (UTF-8) after every change, so a test in another process
// sees exactly what arrived, as a browser's login field would get it. A line "copy
// TEXT" on its standard input puts TEXT on the clipboard, as another program would.
#include <QApplication>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>

#include <unistd.h>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString title = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("Quorly Key Recorder");
    QPlainTextEdit field;
    field.setWindowTitle(title);
    field.resize(420, 160);
    field.move(argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 40, 40);
    QObject::connect(&field, &QPlainTextEdit::textChanged, [&field] {
        std::printf("text %s\n", field.toPlainText().toUtf8().toBase64().constData());
        std::fflush(stdout);
    });
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&input] {
        char line[4096];
        const ssize_t length = ::read(STDIN_FILENO, line, sizeof line - 1);
        if (length <= 0) {
            input.setEnabled(false);
            return;
        }
        const QByteArray command = QByteArray(line, int(length)).trimmed();
        if (command.startsWith("copy "))
            QGuiApplication::clipboard()->setText(QString::fromUtf8(command.mid(5)));
        std::printf("done\n");
        std::fflush(stdout);
    });
    field.show();
    QTimer::singleShot(0, &field, [&field] {
        std::printf("window %llu\n", static_cast<unsigned long long>(field.winId()));
        std::fflush(stdout);
    });
    return app.exec();
}
