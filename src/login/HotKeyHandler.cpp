#include "login/HotKeyHandler.h"

#include "login/LoginSequence.h"
#include "login/WebsitePasswordManager.h"
#include "store/Globals.h"
#include "store/MyDocument.h"

namespace quorly {

void hotKeyHandler(int identifier)
{
    if (identifier < 1 || identifier > 4)
        return;
    SequenceScope::runWhenIdle(QStringLiteral("htk%1").arg(identifier), [identifier] {
        // Left to us: the references are guarded and cleared when their document
        // closes, so a hot key after the window closed finds nothing and does nothing.
        if (!gWebsiteDocument || !gWebsiteDocument->isOpen() || !gWPM)
            return;
        if (identifier <= 2)
            gWPM->handleUserIDFromHotkey(true);
        else
            gWPM->pastePasswordFromHotkey(true);
    });
}

}  // namespace quorly
