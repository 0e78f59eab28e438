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
// made with the same two attributes count as ours.
const SecretSchema* fileSchema()
{
    static const SecretSchema schema = [] {
        SecretSchema s{};
        s.name = "org.quorly.FilePassword";
        s.flags = SECRET_SCHEMA_DONT_MATCH_NAME;
        s.attributes[0] = {"service", SECRET_SCHEMA_ATTRIBUTE_STRING};
        s.attributes[1] = {"account", SECRET_SCHEMA_ATTRIBUTE_STRING};
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

// A lookup that comes back empty without an error may still have met the item behind
// a keyring that stayed locked (some services simply return nothing when the prompt
// is dismissed). Searching without unlocking tells the two apart.
bool matchingItemIsLocked(const QByteArray& account)
{
    GError* error = nullptr;
    SecretService* service = secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, &error);
    if (!service) {
        g_clear_error(&error);
        return false;
    }
    GHashTable* attributes = secret_attributes_build(fileSchema(), "service", kKeychainService,
                                                     "account", account.constData(), nullptr);
    GList* items = secret_service_search_sync(service, fileSchema(), attributes, SECRET_SEARCH_ALL,
                                              nullptr, &error);
    bool locked = false;
    for (GList* it = items; it; it = it->next)
        locked = locked || secret_item_get_locked(SECRET_ITEM(it->data));
    g_list_free_full(items, g_object_unref);
    g_hash_table_unref(attributes);
    g_clear_error(&error);
    g_object_unref(service);
    return locked;
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

KeychainLookup SecretServiceKeychain::findGenericPassword(const QString& account)
{
    if (!isAvailable())
        return {};
    const QByteArray name = account.toUtf8();
    GError* error = nullptr;
    gchar* secret = secret_password_lookup_sync(fileSchema(), nullptr, &error, "service", kKeychainService,
                                                "account", name.constData(), nullptr);
    if (secret) {
        KeychainLookup found{KeychainStatus::Found, QString::fromUtf8(secret)};
        secret_password_free(secret);  // clears the memory before freeing it
        return found;
    }
    if (error) {
        const bool refused = isRefusal(error);
        g_error_free(error);
        return {refused ? KeychainStatus::AccessRefused : KeychainStatus::NotFound, {}};
    }
    if (matchingItemIsLocked(name))
        return {KeychainStatus::AccessRefused, {}};
    return {};
}

bool SecretServiceKeychain::addGenericPassword(const QString& account, const QString& password)
{
    if (!isAvailable())
        return false;
    const QByteArray name = account.toUtf8();
    const QByteArray label = QStringLiteral("Quorly: %1").arg(account).toUtf8();
    QByteArray secret = password.toUtf8();
    GError* error = nullptr;
    SecretService* service = secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, &error);
    gboolean stored = FALSE;
    if (service) {
        GHashTable* attributes = secret_attributes_build(fileSchema(), "service", kKeychainService,
                                                         "account", name.constData(), nullptr);
        SecretValue* value = secret_value_new(secret.constData(), secret.size(), "text/plain");
        // Stored without a schema name, as secret-tool stores, so that an item someone
        // made by hand with the same two attributes is replaced instead of shadowing ours.
        stored = secret_service_store_sync(service, nullptr, attributes, SECRET_COLLECTION_DEFAULT,
                                           label.constData(), value, nullptr, &error);
        secret_value_unref(value);
        g_hash_table_unref(attributes);
        g_object_unref(service);
    }
    OPENSSL_cleanse(secret.data(), static_cast<size_t>(secret.size()));
    g_clear_error(&error);
    return stored != FALSE;
}

bool SecretServiceKeychain::deleteItem(const QString& account)
{
    if (!isAvailable())
        return false;
    const QByteArray name = account.toUtf8();
    GError* error = nullptr;
    // FALSE without an error means there was nothing to remove: already the state the
    // user asked for.
    secret_password_clear_sync(fileSchema(), nullptr, &error, "service", kKeychainService, "account",
                               name.constData(), nullptr);
    if (error) {
        g_error_free(error);
        return false;
    }
    return true;
}

}  // namespace quorly
