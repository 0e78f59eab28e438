#pragma once

// The clipboard of the test X server as another program sees it, read from the test
// process (a QApplication on xcb).
#include "platform/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace quorly::test {

struct ClipboardContents {
    QString text;
    QByteArray hint;  // the password-manager hint, when the copy carries one
};

inline ClipboardContents clipboardContents()
{
    // Qt learns of another program's copy from the server's events: handle them first.
    QCoreApplication::processEvents();
    ClipboardContents contents;
    if (const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard)) {
        contents.text = data->text();
        contents.hint = data->data(QString::fromLatin1(kPasswordManagerHintType));
    }
    return contents;
}

}  // namespace quorly::test
