#pragma once

namespace quorly {

// How the controller reaches the global hot keys at start-up: install the handler once,
// then register the user-ID and password keys from the preferences. The desktop program
// installs the X11 implementation; until there is one, nothing is registered.
class HotKeyInstaller {
public:
    virtual ~HotKeyInstaller() = default;
    virtual void installHandler() {}
    virtual void registerHotKeys() {}
    virtual void unRegisterHotKeys() {}
};

}  // namespace quorly
