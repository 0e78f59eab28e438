#include "platform/desktop/SecretServiceKeychain.h"

// GLib's D-Bus headers use "signals" as a field name, which Qt defines as a macro.
#pragma push_macro("signals")
#undef signals
#include <libsecret/secret.h>
#pragma pop_macro("signals")

#include <openssl/crypto.h>

#include <QByteArray>
#include <QFileInfo>

#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>

namespace quorly {

namespace {

constexpr const char kSecretsBusName[] = "org.freedesktop.secrets";

// Lookups and deletes ignore the schema name, so items that other tools (secret-tool)
// made with the same attributes count as ours.
const SecretSchema* fileSchema()
{
    static const SecretSchema schema = [] {
        SecretSchema s{};
        s.name = "org.quorly.FilePassword";
        s.flags = SECRET_SCHEMA_DONT_MATCH_NAME;
        s.attributes[0] = {"service", SECRET_SCHEMA_ATTRIBUTE_STRING};
        s.attributes[1] = {"account", SECRET_SCHEMA_ATTRIBUTE_STRING};
        s.attributes[2] = {"path", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return s;
    }();
    return &schema;
}

// The user turning down the unlock prompt reaches us as a cancelled call or as a
// collection that is still locked.
bool isRefusal(const GError* error)
{
    return g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)
        || g_error_matches(error, SECRET_ERROR, SECRET_ERROR_IS_LOCKED);
}

QString itemPath(SecretItem* item)
{
    GHashTable* attributes = secret_item_get_attributes(item);
    const auto* path = static_cast<const gchar*>(attributes ? g_hash_table_lookup(attributes, "path") : nullptr);
    const QString result = path ? QString::fromUtf8(path) : QString();
    if (attributes)
        g_hash_table_unref(attributes);
    return result;
}

QByteArray labelFor(const KeychainItemKey& key)
{
    return QStringLiteral("Quorly: %1 (%2)").arg(key.account, key.path).toUtf8();
}

// The service and the items stored under one account, found without unlocking anything
// (attributes can be read from a locked keyring); the item that serves the package is
// chosen among them.
class AccountItems {
public:
    explicit AccountItems(const KeychainItemKey& key)
    {
        GError* error = nullptr;
        service_ = secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, nullptr, &error);
        g_clear_error(&error);
        if (!service_)
            return;
        const QByteArray account = key.account.toUtf8();
        GHashTable* attributes = secret_attributes_build(fileSchema(), "service", kKeychainService, "account",
                                                         account.constData(), nullptr);
        items_ = secret_service_search_sync(service_, fileSchema(), attributes, SECRET_SEARCH_ALL, nullptr, &error);
        g_hash_table_unref(attributes);
        g_clear_error(&error);
        QStringList paths;
        for (GList* it = items_; it; it = it->next)
            paths << itemPath(SECRET_ITEM(it->data));
        choice_ = chooseKeychainItem(paths, key.path);
    }
    ~AccountItems()
    {
        g_list_free_full(items_, g_object_unref);
        if (service_)
            g_object_unref(service_);
    }
    AccountItems(const AccountItems&) = delete;
    AccountItems& operator=(const AccountItems&) = delete;

    SecretService* service() const { return service_; }
    SecretItem* chosen() const
    {
        return choice_.index < 0 ? nullptr : SECRET_ITEM(g_list_nth_data(items_, guint(choice_.index)));
    }
    bool legacy() const { return choice_.legacy; }

private:
    SecretService* service_ = nullptr;
    GList* items_ = nullptr;
    KeychainChoice choice_;
};

// Unlocks the item's keyring when needed; false when the user turned the prompt down.
bool unlock(SecretService* service, SecretItem* item)
{
    if (!secret_item_get_locked(item))
        return true;
    GList* objects = g_list_append(nullptr, item);
    GList* unlocked = nullptr;
    GError* error = nullptr;
    secret_service_unlock_sync(service, objects, nullptr, &unlocked, &error);
    const bool done = unlocked != nullptr;
    g_list_free_full(unlocked, g_object_unref);
    g_list_free(objects);
    g_clear_error(&error);
    return done;
}

bool callReturnsTrue(GDBusConnection* bus, const char* method, GVariant* args, const char* type,
                     const std::function<bool(GVariant*)>& test)
{
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                  "org.freedesktop.DBus", method, args,
                                                  G_VARIANT_TYPE(type), G_DBUS_CALL_FLAGS_NONE, 2000,
                                                  nullptr, &error);
    if (!reply) {
        g_clear_error(&error);
        return false;
    }
    const bool result = test(reply);
    g_variant_unref(reply);
    return result;
}

// Runs on a thread of its own, since a session bus that accepts the connection but
// never answers would otherwise hold the caller for ever.
bool secretServiceOnBus()
{
    GError* error = nullptr;
    gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (!address) {
        g_clear_error(&error);
        return false;
    }
    GDBusConnection* bus = g_dbus_connection_new_for_address_sync(
        address,
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT
                                          | G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    g_free(address);
    if (!bus) {
        g_clear_error(&error);
        return false;
    }

    bool found = callReturnsTrue(bus, "NameHasOwner", g_variant_new("(s)", kSecretsBusName), "(b)",
                                 [](GVariant* reply) {
                                     gboolean owned = FALSE;
                                     g_variant_get(reply, "(b)", &owned);
                                     return owned != FALSE;
                                 });
    if (!found) {
        found = callReturnsTrue(bus, "ListActivatableNames", nullptr, "(as)", [](GVariant* reply) {
            GVariantIter* names = nullptr;
            const gchar* name = nullptr;
            bool listed = false;
            g_variant_get(reply, "(as)", &names);
            while (g_variant_iter_loop(names, "&s", &name))
                listed = listed || g_strcmp0(name, kSecretsBusName) == 0;
            g_variant_iter_free(names);
            return listed;
        });
    }
    g_dbus_connection_close_sync(bus, nullptr, nullptr);
    g_object_unref(bus);
    return found;
}

}  // namespace

bool SecretServiceKeychain::probeSecretService(std::chrono::milliseconds limit)
{
    // Without an address GLib would fall back to autolaunching a bus of its own
    // (dbus-launch), which is not a service this session offers.
    const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    if (address.isEmpty()) {
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        if (runtime.isEmpty() || !QFileInfo::exists(QString::fromLocal8Bit(runtime) + QStringLiteral("/bus")))
            return false;
    }

    struct Probe {
        std::mutex mutex;
        std::condition_variable done;
        std::optional<bool> answer;
    };
    auto probe = std::make_shared<Probe>();
    // Detached: when the bus hangs, the thread is left to finish (or not) on its own and
    // only ever touches the shared state.
    std::thread([probe] {
        const bool answer = secretServiceOnBus();
        std::lock_guard lock(probe->mutex);
        probe->answer = answer;
        probe->done.notify_all();
    }).detach();

    std::unique_lock lock(probe->mutex);
    probe->done.wait_for(lock, limit, [&] { return probe->answer.has_value(); });
    return probe->answer.value_or(false);
}

bool SecretServiceKeychain::isAvailable()
{
    if (!available_)
        available_ = probeSecretService();
    return *available_;
}

KeychainLookup SecretServiceKeychain::findGenericPassword(const KeychainItemKey& key)
{
    if (!isAvailable())
        return {};
    const AccountItems items(key);
    SecretItem* item = items.chosen();
    if (!item)
        return {};
    // An item that may be another file's is not worth an unlock prompt of its own: it is
    // simply not found, and the password is asked for.
    const KeychainStatus refused = items.legacy() ? KeychainStatus::NotFound : KeychainStatus::AccessRefused;
    if (!unlock(items.service(), item))
        return {refused, {}, {}};
    GError* error = nullptr;
    if (!secret_item_load_secret_sync(item, nullptr, &error)) {
        const bool wasRefusal = isRefusal(error);
        g_clear_error(&error);
        return {wasRefusal ? refused : KeychainStatus::NotFound, {}, {}};
    }
    SecretValue* value = secret_item_get_secret(item);
    if (!value)
        return {};
    gsize length = 0;
    const gchar* bytes = secret_value_get(value, &length);
    KeychainLookup found{KeychainStatus::Found, QString::fromUtf8(bytes, qsizetype(length)), {}};
    secret_value_unref(value);  // libsecret clears the memory before freeing it
    if (items.legacy())
        found.claim = [this, key] { return claimLegacyItem(key); };
    return found;
}

bool SecretServiceKeychain::addGenericPassword(const KeychainItemKey& key, const QString& password)
{
    if (!isAvailable())
        return false;
    const QByteArray account = key.account.toUtf8();
    const QByteArray path = key.path.toUtf8();
    QByteArray secret = password.toUtf8();
    GError* error = nullptr;
    SecretService* service = secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, &error);
    gboolean stored = FALSE;
    if (service) {
        GHashTable* attributes = secret_attributes_build(fileSchema(), "service", kKeychainService, "account",
                                                         account.constData(), "path", path.constData(), nullptr);
        SecretValue* value = secret_value_new(secret.constData(), secret.size(), "text/plain");
        // Stored without a schema name, as secret-tool stores. The service replaces an
        // item that has all three attributes: this path's own, never one of another path
        // or one stored without a path.
        stored = secret_service_store_sync(service, nullptr, attributes, SECRET_COLLECTION_DEFAULT,
                                           labelFor(key).constData(), value, nullptr, &error);
        secret_value_unref(value);
        g_hash_table_unref(attributes);
        g_object_unref(service);
    }
    OPENSSL_cleanse(secret.data(), static_cast<size_t>(secret.size()));
    g_clear_error(&error);
    return stored != FALSE;
}

bool SecretServiceKeychain::deleteItem(const KeychainItemKey& key)
{
    if (!isAvailable())
        return false;
    const QByteArray account = key.account.toUtf8();
    const QByteArray path = key.path.toUtf8();
    GError* error = nullptr;
    // FALSE without an error means there was nothing to remove: already the state the
    // user asked for.
    secret_password_clear_sync(fileSchema(), nullptr, &error, "service", kKeychainService, "account",
                               account.constData(), "path", path.constData(), nullptr);
    if (error) {
        g_error_free(error);
        return false;
    }
    return true;
}

bool SecretServiceKeychain::claimLegacyItem(const KeychainItemKey& key)
{
    if (!isAvailable())
        return false;
    const AccountItems items(key);
    SecretItem* item = items.chosen();
    if (!item || !items.legacy())
        return false;
    // Whatever else the item carries (a schema name, attributes of another tool) stays.
    GHashTable* old = secret_item_get_attributes(item);
    GHashTable* attributes = g_hash_table_new_full(g_str_hash, g_str_equal, g_free, g_free);
    GHashTableIter it;
    gpointer name = nullptr;
    gpointer value = nullptr;
    g_hash_table_iter_init(&it, old);
    while (g_hash_table_iter_next(&it, &name, &value))
        g_hash_table_insert(attributes, g_strdup(static_cast<const gchar*>(name)),
                            g_strdup(static_cast<const gchar*>(value)));
    g_hash_table_unref(old);
    g_hash_table_insert(attributes, g_strdup("path"), g_strdup(key.path.toUtf8().constData()));
    GError* error = nullptr;
    const bool claimed = secret_item_set_attributes_sync(item, nullptr, attributes, nullptr, &error);
    g_hash_table_unref(attributes);
    g_clear_error(&error);
    if (claimed)
        secret_item_set_label_sync(item, labelFor(key).constData(), nullptr, nullptr);
    return claimed;
}

}  // namespace quorly
