#include "platform/desktop/PTKeyCodeTranslator.h"

#include "platform/desktop/X11Connection.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <xkbcommon/xkbcommon.h>

namespace quorly {

namespace {

X11Connection* gConnection = nullptr;
quint64 gKeymapGeneration = 1;
std::unique_ptr<PTKeyCodeTranslator> gCached;

}  // namespace

PTKeyCodeTranslator::PTKeyCodeTranslator(X11Connection& connection, KeyboardLayout layout)
    : keymap_(XkbGetMap(connection.display(), XkbKeySymsMask | XkbKeyTypesMask, XkbUseCoreKbd)),
      layout_(layout)
{
}

PTKeyCodeTranslator::~PTKeyCodeTranslator()
{
    if (keymap_)
        XkbFreeKeyboard(keymap_, 0, True);
}

PTKeyCodeTranslator* PTKeyCodeTranslator::currentTranslator()
{
    if (!gConnection)
        return nullptr;
    XkbStateRec state{};
    if (XkbGetState(gConnection->display(), XkbUseCoreKbd, &state) != Success)
        return nullptr;  // the cache stays as it is
    const KeyboardLayout current{gKeymapGeneration, state.group};
    if (gCached && gCached->keyboardLayout() == current)
        return gCached->isValid() ? gCached.get() : nullptr;
    gCached = std::make_unique<PTKeyCodeTranslator>(*gConnection, current);
    return gCached->isValid() ? gCached.get() : nullptr;
}

void PTKeyCodeTranslator::setConnection(X11Connection* connection)
{
    gCached.reset();
    gConnection = connection;
}

void PTKeyCodeTranslator::keymapChanged()
{
    ++gKeymapGeneration;
}

int PTKeyCodeTranslator::minKeyCode() const
{
    return keymap_ ? keymap_->min_key_code : 0;
}

int PTKeyCodeTranslator::maxKeyCode() const
{
    return keymap_ ? keymap_->max_key_code : -1;
}

int PTKeyCodeTranslator::groupCount() const
{
    int most = 0;
    for (int code = minKeyCode(); code <= maxKeyCode(); ++code)
        most = std::max(most, int(XkbKeyNumGroups(keymap_, code)));
    return most;
}

QString PTKeyCodeTranslator::translateKeyCode(int keyCode, int group) const
{
    if (!keymap_ || keyCode < minKeyCode() || keyCode > maxKeyCode())
        return {};
    const int groups = XkbKeyNumGroups(keymap_, keyCode);
    if (groups == 0 || group < 0)
        return {};
    // A key with fewer groups than the layout brings the group into its range, as the
    // server does when the key is pressed.
    if (group >= groups) {
        const unsigned char info = XkbKeyGroupInfo(keymap_, keyCode);
        switch (XkbOutOfRangeGroupAction(info)) {
        case XkbClampIntoRange:
            group = groups - 1;
            break;
        case XkbRedirectIntoRange:
            group = XkbOutOfRangeGroupNumber(info) < groups ? XkbOutOfRangeGroupNumber(info) : 0;
            break;
        default:
            group %= groups;
        }
    }
    if (XkbKeyGroupWidth(keymap_, keyCode, group) < 1)
        return {};
    const KeySym symbol = XkbKeySymEntry(keymap_, keyCode, 0, group);
    const uint32_t character = xkb_keysym_to_utf32(uint32_t(symbol));
    // Control characters (Tab, Return, Escape) are keys, not characters to match.
    if (character < 0x20 || character == 0x7f)
        return {};
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(&character), 1);
}

}  // namespace quorly
