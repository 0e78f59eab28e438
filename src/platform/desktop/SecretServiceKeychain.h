#pragma once

#include "platform/Keychain.h"

#include <chrono>
#include <optional>

namespace quorly {

// The keychain over the freedesktop Secret Service (GNOME Keyring, KWallet, KeePassXC),
// through libsecret's synchronous calls. Items go to the default collection with the
// attributes "service", "account" and "path", so `secret-tool lookup service
// Marrowdenkeeper account NAME` finds them, and carry the label "Quorly: NAME (PATH)".
class SecretServiceKeychain final : public Keychain {
public:
    // Whether a Secret Service can be reached is asked once, at the first use.
    bool isAvailable() override;
    KeychainLookup findGenericPassword(const KeychainItemKey& key) override;
    bool addGenericPassword(const KeychainItemKey& key, const QString& password) override;
    bool deleteItem(const KeychainItemKey& key) override;
    bool claimLegacyItem(const KeychainItemKey& key) override;

    // Asks the session bus whether a Secret Service runs or can be started, giving up
    // (answering no) after `limit`: a bare window manager may have no session bus, or
    // one that never answers, and the program must not freeze at the first open.
    static bool probeSecretService(std::chrono::milliseconds limit = std::chrono::seconds(3));

private:
    std::optional<bool> available_;
};

}  // namespace quorly
