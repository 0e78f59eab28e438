#include "login/KeystrokeSynthesis.h"

#include "app/Preferences.h"
#include "login/KeySink.h"
#include "platform/Clipboard.h"
#include "store/Globals.h"

#include <algorithm>
#include <limits>

namespace quorly {

int theTypeSpeed = -1;
int gPasteCode = -1;

namespace {

// More TABs than any login page needs; a damaged count must not press a billion.
constexpr qint64 kMostTabs = 99;
constexpr qint64 kLongestPageLoadSeconds = 3600;

}  // namespace

std::chrono::microseconds typingPause(qint64 typeSpeed)
{
    if (typeSpeed >= 100)
        return std::chrono::microseconds(0);
    return std::chrono::microseconds((100 - std::max<qint64>(typeSpeed, 1)) * 2500);
}

std::chrono::milliseconds pageLoadDelay()
{
    const qint64 seconds = std::clamp<qint64>(Preferences::integer(PrefKey::BrowserPageLoadDelay), 0,
                                              kLongestPageLoadSeconds);
    return std::chrono::milliseconds(seconds * 1000);
}

namespace {

void typeWithPause(const QString& text, std::chrono::microseconds pause)
{
    KeySink& sink = keySink();
    // The length is read again before each character, as the text may be the entry's
    // own value.
    for (qsizetype i = 0; i < text.size();) {
        if (pause.count() > 0 && !sink.stopped())
            sink.pause(pause);
        if (sink.stopped())
            break;
        char32_t character = text.at(i).unicode();
        ++i;
        if (QChar::isHighSurrogate(character) && i < text.size() && text.at(i).isLowSurrogate()) {
            character = QChar::surrogateToUcs4(char16_t(character), text.at(i).unicode());
            ++i;
        }
        sink.typeCharacter(character);
    }
    sink.endOfText();
}

}  // namespace

void typeString(const QString& text)
{
    typeWithPause(text, typingPause(theTypeSpeed));
}

void pasteString(const QString& text)
{
    sequencePause(std::chrono::seconds(1));
    if (keySink().stopped())
        return;
    // Left to us: a layout with no key for "v" in any of its groups cannot paste with
    // Control+V, so the text is typed instead; the login still happens.
    if (gPasteCode < 0) {
        typeWithPause(text, std::chrono::microseconds(0));  // as fast as a paste
        return;
    }
    clipboard().putSecret(text);
    keySink().pressPaste(gPasteCode);
}

void enterString(const QString& text)
{
    theTypeSpeed = int(std::clamp<qint64>(Preferences::integer(PrefKey::TypeSpeed),
                                          std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    if (theTypeSpeed == 0)
        pasteString(text);
    else
        typeString(text);
}

void tab()
{
    if (!keySink().stopped())
        keySink().pressTab();
}

void nextPage()
{
    if (!keySink().stopped())
        keySink().pressReturn();
}

void doTABs(const QString& field)
{
    const EntryRef item = gWebsiteItem;
    if (!item || !item->boolean(QStringLiteral("website%1TabSwitch").arg(field)))
        return;
    const qint64 count = std::clamp<qint64>(item->integer(QStringLiteral("website%1TabCount").arg(field)), -1, kMostTabs);
    for (qint64 i = 0; i <= count; ++i)
        tab();
}

void sequencePause(std::chrono::milliseconds length)
{
    if (length.count() > 0 && !keySink().stopped())
        keySink().pause(length);
}

}  // namespace quorly
