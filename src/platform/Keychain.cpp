#include "platform/Keychain.h"

namespace quorly {

namespace {

// What the program meets on a desktop without any Secret Service.
class NoKeychain final : public Keychain {
public:
    bool isAvailable() override { return false; }
    KeychainLookup findGenericPassword(const QString&) override { return {}; }
    bool addGenericPassword(const QString&, const QString&) override { return false; }
    bool deleteItem(const QString&) override { return false; }
};

std::shared_ptr<Keychain>& installed()
{
    static std::shared_ptr<Keychain> current;
    return current;
}

}  // namespace

QString keychainAccountForPackage(const QString& packagePath)
{
    QString path = packagePath;
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    // A leading dot starts a hidden name, not an extension: ".qly" keeps its name.
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.left(dot) : name;
}

Keychain& keychain()
{
    static NoKeychain none;
    const auto& current = installed();
    return current ? *current : static_cast<Keychain&>(none);
}

void setKeychain(std::shared_ptr<Keychain> k)
{
    installed() = std::move(k);
}

KeychainLookup MemoryKeychain::findGenericPassword(const QString& account)
{
    ++lookups_;
    if (!available_)
        return {};
    const auto it = items_.constFind(account);
    if (it == items_.constEnd())
        return {};
    if (refuseAccess_)
        return {KeychainStatus::AccessRefused, {}};
    return {KeychainStatus::Found, *it};
}

bool MemoryKeychain::addGenericPassword(const QString& account, const QString& password)
{
    if (!available_ || failWrites_)
        return false;
    items_.insert(account, password);
    return true;
}

bool MemoryKeychain::deleteItem(const QString& account)
{
    if (!available_ || failWrites_)
        return false;
    items_.remove(account);
    return true;
}

std::optional<QString> MemoryKeychain::storedPassword(const QString& account) const
{
    const auto it = items_.constFind(account);
    if (it == items_.constEnd())
        return std::nullopt;
    return *it;
}

}  // namespace quorly
