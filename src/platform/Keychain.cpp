#include "platform/Keychain.h"

#include "platform/PackagePath.h"

namespace quorly {

namespace {

// What the program meets on a desktop without any Secret Service.
class NoKeychain final : public Keychain {
public:
    bool isAvailable() override { return false; }
    KeychainLookup findGenericPassword(const KeychainItemKey&) override { return {}; }
    bool addGenericPassword(const KeychainItemKey&, const QString&) override { return false; }
    bool deleteItem(const KeychainItemKey&) override { return false; }
    bool claimLegacyItem(const KeychainItemKey&) override { return false; }
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

KeychainItemKey keychainItemForPackage(const QString& packagePath)
{
    return {keychainAccountForPackage(packagePath), canonicalPackagePath(packagePath)};
}

KeychainChoice chooseKeychainItem(const QStringList& itemPaths, const QString& path)
{
    const qsizetype own = itemPaths.indexOf(path);
    if (!path.isEmpty() && own >= 0)
        return {own, false};
    if (itemPaths.size() == 1 && itemPaths.first().isEmpty())
        return {0, true};
    return {};
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

QStringList MemoryKeychain::pathsOf(const QString& account, QList<qsizetype>* indexes) const
{
    QStringList paths;
    for (qsizetype i = 0; i < items_.size(); ++i) {
        if (items_[i].account == account) {
            paths << items_[i].path;
            indexes->append(i);
        }
    }
    return paths;
}

KeychainLookup MemoryKeychain::findGenericPassword(const KeychainItemKey& item)
{
    ++lookups_;
    if (!available_)
        return {};
    QList<qsizetype> indexes;
    const KeychainChoice choice = chooseKeychainItem(pathsOf(item.account, &indexes), item.path);
    if (choice.index < 0)
        return {};
    if (refuseAccess_)
        return {choice.legacy ? KeychainStatus::NotFound : KeychainStatus::AccessRefused, {}, {}};
    KeychainLookup found{KeychainStatus::Found, items_[indexes[choice.index]].password, {}};
    if (choice.legacy)
        found.claim = [this, item] { return claimLegacyItem(item); };
    return found;
}

bool MemoryKeychain::addGenericPassword(const KeychainItemKey& item, const QString& password)
{
    if (!available_ || failWrites_)
        return false;
    for (Item& stored : items_) {
        if (stored.account == item.account && stored.path == item.path) {
            stored.password = password;
            return true;
        }
    }
    items_.append({item.account, item.path, password});
    return true;
}

bool MemoryKeychain::deleteItem(const KeychainItemKey& item)
{
    if (!available_ || failWrites_)
        return false;
    items_.removeIf([&](const Item& stored) { return stored.account == item.account && stored.path == item.path; });
    return true;
}

bool MemoryKeychain::claimLegacyItem(const KeychainItemKey& item)
{
    if (!available_ || failWrites_)
        return false;
    QList<qsizetype> indexes;
    const KeychainChoice choice = chooseKeychainItem(pathsOf(item.account, &indexes), item.path);
    if (!choice.legacy)
        return false;
    items_[indexes[choice.index]].path = item.path;
    return true;
}

void MemoryKeychain::addLegacyItem(const QString& account, const QString& password)
{
    items_.append({account, QString(), password});
}

std::optional<QString> MemoryKeychain::storedPassword(const KeychainItemKey& item) const
{
    for (const Item& stored : items_) {
        if (stored.account == item.account && stored.path == item.path)
            return stored.password;
    }
    return std::nullopt;
}

}  // namespace quorly
