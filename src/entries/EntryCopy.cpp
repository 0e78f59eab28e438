#include "entries/EntryCopy.h"

#include "app/Preferences.h"
#include "platform/Clipboard.h"
#include "platform/ClipboardSecretTimer.h"

#include <QCoreApplication>
#include <QPointer>

namespace quorly {

namespace {

// One for the whole program: a newer copy from any window takes over the wait.
ClipboardSecretTimer& passwordTimer()
{
    static QPointer<ClipboardSecretTimer> timer;
    if (!timer)
        timer = new ClipboardSecretTimer(QCoreApplication::instance());
    return *timer;
}

}  // namespace

qint64 clipboardClearSecondsSetting()
{
    return Preferences::contains(PrefKey::ClipboardClearSeconds) ? Preferences::integer(PrefKey::ClipboardClearSeconds)
                                                                 : kClipboardClearSecondsDefault;
}

std::optional<std::chrono::milliseconds> passwordClipboardDelay()
{
    return clipboardClearDelay(clipboardClearSecondsSetting());
}

bool copyEntryField(const Entry& entry, EntryField field)
{
    const QString text = entryFieldText(entry, field);
    if (text.isEmpty())
        return false;
    if (field == EntryField::Password)
        passwordTimer().copy(text, passwordClipboardDelay());
    else
        clipboard().putText(text);
    return true;
}

}  // namespace quorly
