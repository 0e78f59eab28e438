#include "app/PreferencesPanelRules.h"

#include "app/Preferences.h"
#include "app/StartUp.h"
#include "entries/EntryCopy.h"
#include "platform/ClipboardSecretTimer.h"

#include <QVariant>

#include <algorithm>
#include <limits>

namespace quorly {

namespace {

constexpr qint64 kDefaultPageLoadDelay = 10;

// Where a value of its own goes among the offered items: in numeric order, so that the
// menu still reads from the shortest length or the soonest question down.
QList<PopUpItem> withItemFor(QList<PopUpItem> items, qint64 stored, const QString& title)
{
    for (const PopUpItem& item : items) {
        if (item.tag == stored)
            return items;
    }
    const auto place = std::find_if(items.begin(), items.end(), [&](const PopUpItem& item) {
        // "Never" (0) stays first whatever a negative value says.
        return item.tag > stored && item.tag > 0;
    });
    items.insert(place, PopUpItem{title, stored});
    return items;
}

QString minutesTitle(qint64 minutes)
{
    return minutes == 1 ? QStringLiteral("After 1 minute") : QStringLiteral("After %1 minutes").arg(minutes);
}

QString secondsTitle(qint64 seconds)
{
    if (seconds % 60 == 0)
        return minutesTitle(seconds / 60);
    return seconds == 1 ? QStringLiteral("After 1 second") : QStringLiteral("After %1 seconds").arg(seconds);
}

}  // namespace

HotKeyModifiers modifiersOfMask(qint64 mask)
{
    return HotKeyModifiers{(mask & ModifierBit::Command) != 0, (mask & ModifierBit::Shift) != 0,
                           (mask & ModifierBit::Option) != 0, (mask & ModifierBit::Control) != 0};
}

qint64 maskOfModifiers(const HotKeyModifiers& modifiers)
{
    return (modifiers.command ? ModifierBit::Command : 0) | (modifiers.shift ? ModifierBit::Shift : 0) |
           (modifiers.option ? ModifierBit::Option : 0) | (modifiers.control ? ModifierBit::Control : 0);
}

PreferencesPanelValues preferencesPanelValues()
{
    PreferencesPanelValues values;
    values.hotkeyUserID = Preferences::string(PrefKey::HotkeyUserID);
    values.hotkeyUserIDModifiers = modifiersOfMask(Preferences::integer(PrefKey::HotkeyUserIDModifierFlags));
    values.hotkeyPassword = Preferences::string(PrefKey::HotkeyPassword);
    values.hotkeyPasswordModifiers = modifiersOfMask(Preferences::integer(PrefKey::HotkeyPasswordModifierFlags));
    values.waitForPageLoadDelay = pageLoadDelayText(Preferences::integer(PrefKey::BrowserPageLoadDelay));
    const qint64 typeSpeed = Preferences::integer(PrefKey::TypeSpeed);
    values.typeSwitch = typeSpeed != 0;
    values.typeSpeedSlider = int(std::clamp<qint64>(typeSpeed, kTypeSpeedSlowest, kTypeSpeedFastest));
    values.generatedPasswordLength = Preferences::integer(PrefKey::GeneratedPasswordLength);
    values.passwordPrompt = Preferences::integer(PrefKey::PasswordPrompt);
    values.clipboardClearSeconds = clipboardClearSecondsSetting();
    values.hoverUserID = Preferences::boolean(PrefKey::HoverUserID);
    values.hoverPassword = Preferences::boolean(PrefKey::HoverPassword);
    values.hoverURL = Preferences::boolean(PrefKey::HoverURL);
    values.hoverNotes = Preferences::boolean(PrefKey::HoverNotes);
    values.confirmDelete = Preferences::boolean(PrefKey::ConfirmDelete);
    return values;
}

void savePreferencesPanelValues(const PreferencesPanelValues& values, const std::function<void()>& reRegisterHotKeys)
{
    // "SUEnableAutomaticChecks" has no control: updates come from the distribution's
    // package manager, so the key is neither shown nor written. The keys go in two
    // writes of the file rather than one each: every write is flushed to the disk.
    Preferences::setValues({
        {PrefKey::HotkeyUserID, values.hotkeyUserID},
        {PrefKey::HotkeyUserIDModifierFlags, maskOfModifiers(values.hotkeyUserIDModifiers)},
        {PrefKey::HotkeyPassword, values.hotkeyPassword},
        {PrefKey::HotkeyPasswordModifierFlags, maskOfModifiers(values.hotkeyPasswordModifiers)},
        {PrefKey::TypeSpeed, values.typeSwitch ? values.typeSpeedSlider : 0},
        {PrefKey::BrowserPageLoadDelay, leadingWholeNumber(values.waitForPageLoadDelay)},
        {PrefKey::GeneratedPasswordLength, values.generatedPasswordLength},
    });
    if (reRegisterHotKeys)
        reRegisterHotKeys();
    Preferences::setValues({
        {PrefKey::PasswordPrompt, values.passwordPrompt},
        {PrefKey::ClipboardClearSeconds, values.clipboardClearSeconds},
        {PrefKey::HoverUserID, values.hoverUserID},
        {PrefKey::HoverPassword, values.hoverPassword},
        {PrefKey::HoverURL, values.hoverURL},
        {PrefKey::HoverNotes, values.hoverNotes},
        {PrefKey::ConfirmDelete, values.confirmDelete},
    });
}

QString pageLoadDelayText(qint64 stored)
{
    return QString::number(stored == 0 ? kDefaultPageLoadDelay : stored);
}

qint64 leadingWholeNumber(const QString& text)
{
    // As a text field's integer value reads it: blanks, a sign, then the digits up to
    // the first character that is not one; a number past 32 bits stops at the limit.
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == u'-' || text.at(i) == u'+')) {
        negative = text.at(i) == u'-';
        ++i;
    }
    constexpr qint64 limit = qint64(std::numeric_limits<qint32>::max()) + 1;
    qint64 magnitude = 0;
    for (; i < text.size() && text.at(i) >= u'0' && text.at(i) <= u'9'; ++i)
        magnitude = std::min(limit, magnitude * 10 + (text.at(i).unicode() - u'0'));
    return negative ? -magnitude : std::min(magnitude, limit - 1);
}

TypeSpeedSliderState typeSwitchChanged(bool switchOn, bool fromUser, int sliderValue)
{
    if (!switchOn)
        return {false, sliderValue};
    return {true, fromUser ? kTypeSpeedWhenSwitchedOn : sliderValue};
}

QString hotKeyFieldText(const QString& fieldText, const QString& charactersIgnoringModifiers)
{
    if (charactersIgnoringModifiers.isEmpty())
        return fieldText;
    // The last character, not the last code unit: a character outside the Basic
    // Multilingual Plane stays whole.
    qsizetype last = charactersIgnoringModifiers.size() - 1;
    if (last > 0 && charactersIgnoringModifiers.at(last).isLowSurrogate() &&
        charactersIgnoringModifiers.at(last - 1).isHighSurrogate())
        --last;
    return charactersIgnoringModifiers.mid(last);
}

QList<PopUpItem> generatedPasswordLengthItems(qint64 stored)
{
    QList<PopUpItem> items;
    for (int length : StartUp::offeredPasswordLengths())
        items.append({QStringLiteral("%1 characters").arg(length), length});
    return withItemFor(items, stored, QStringLiteral("%1 characters").arg(stored));
}

QList<PopUpItem> passwordPromptItems(qint64 stored)
{
    // 0 never, 1 at once, n after n - 1 minutes.
    QList<PopUpItem> items = {{QStringLiteral("Never"), 0}, {QStringLiteral("Immediately"), 1}};
    for (qint64 minutes : {1, 2, 5, 10, 30})
        items.append({minutesTitle(minutes), minutes + 1});
    // Every value below 1 means "never" to the reader; one stored by hand says so.
    const QString title = stored < 0 ? QStringLiteral("Never (%1)").arg(stored) : minutesTitle(stored - 1);
    return withItemFor(items, stored, title);
}

QList<PopUpItem> clipboardClearItems(qint64 stored)
{
    QList<PopUpItem> items = {{QStringLiteral("Never"), 0}};
    for (qint64 seconds : {10, 30, 60, 120, 300})
        items.append({secondsTitle(seconds), seconds});
    // The reader takes a negative number for the default; one stored by hand says so.
    const QString title = stored < 0 ? secondsTitle(kClipboardClearSecondsDefault) + QStringLiteral(" (%1)").arg(stored)
                                     : secondsTitle(stored);
    return withItemFor(items, stored, title);
}

}  // namespace quorly
