#pragma once

// A new password file opened in a real document window, the way the program opens one
// right after "Create Password File" (the password handed over, no question asked).
#include "app/GuiDriver.h"
#include "entries/desktop/DocumentWindowWidget.h"
#include "store/Globals.h"
#include "store/MyDocument.h"
#include "store/NewPasswordFile.h"

enum class Activate { No, Yes };

// False when the file could not be created or did not open.
inline bool openNewFileInWindow(const QString& package, const QString& framis, quorly::MyDocument*& document,
                                quorly::DocumentWindowWidget*& window, Activate activate = Activate::No)
{
    if (!quorly::createPasswordFile(package, framis))
        return false;
    quorly::gFramis = framis;
    document = new quorly::MyDocument(package);
    document->setRecordsLastFile(false);
    window = new quorly::DocumentWindowWidget(document);
    document->setWindow(window);
    window->show();
    if (activate == Activate::Yes)
        window->activateWindow();
    document->windowControllerDidLoadNib();
    quorly::MyDocument* opening = document;
    return waitFor([opening] { return opening->isOpen(); });
}

inline void closeWindowAndDocument(quorly::MyDocument*& document, quorly::DocumentWindowWidget*& window)
{
    if (window)
        window->close();
    delete window;
    delete document;
    window = nullptr;
    document = nullptr;
    quorly::clearGFramis();
}
