#pragma once

#include "platform/Clipboard.h"

#include <QObject>

namespace quorly {

// The desktop's clipboard through QClipboard. A secret carries the password-manager
// hint, so clipboard managers and history tools leave it out. Whether the clipboard
// still holds it is known from Qt: any later copy, ours or another program's, changes
// the clipboard's contents and ends our ownership of them.
class QtClipboard : public QObject, public Clipboard {
    Q_OBJECT
public:
    QtClipboard();

    void putSecret(const QString& text) override;
    void putText(const QString& text) override;
    bool holdsOurSecret() const override;
    void clearIfStillOurs() override;

private:
    bool ours_ = false;
    bool putting_ = false;
};

}  // namespace quorly
