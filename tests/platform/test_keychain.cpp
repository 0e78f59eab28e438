// The keychain against a real GNOME keyring on a private session bus
// (scripts/with-test-services), and the keychain's behaviour without any.
#include "platform/Keychain.h"
#include "platform/desktop/SecretServiceKeychain.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <optional>

using namespace quorly;

namespace {

// Sets an environment variable for one scope, restoring what was there.
struct ScopedEnv {
    ScopedEnv(const char* name, const QByteArray* value) : name(name)
    {
        if (qEnvironmentVariableIsSet(name))
            old = qgetenv(name);
        (void)(value ? qputenv(name, *value) : qunsetenv(name));
    }
    ~ScopedEnv() { (void)(old ? qputenv(name, *old) : qunsetenv(name)); }
    const char* name;
    std::optional<QByteArray> old;
};

struct ToolResult {
    int exitCode = -1;
    QByteArray out;
};

ToolResult secretTool(const QStringList& args)
{
    QProcess tool;
    tool.start(QStringLiteral("secret-tool"), args);
    if (!tool.waitForFinished(20000))
        return {};
    return {tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1, tool.readAllStandardOutput()};
}

ToolResult lookupWithTool(const QString& account)
{
    return secretTool({"lookup", "service", "Marrowdenkeeper", "account", account});
}

QByteArray itemsListedByTool(const QString& account)
{
    return secretTool({"search", "--all", "service", "Marrowdenkeeper", "account", account}).out;
}

class RealKeyring : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!qEnvironmentVariableIsSet("QUORLY_TEST_KEYRING"))
            GTEST_SKIP() << "needs the keyring of scripts/with-test-services";
        ASSERT_TRUE(keychain.isAvailable());
    }
    SecretServiceKeychain keychain;
};

}  // namespace

TEST(KeychainAccount, IsThePackageNameWithoutItsExtension)
{
    EXPECT_EQ(keychainAccountForPackage("/a/b/Home.qly"), "Home");
    EXPECT_EQ(keychainAccountForPackage("/a/b/Home.qly/"), "Home");
    EXPECT_EQ(keychainAccountForPackage("Bank.v2.qly"), "Bank.v2");
    EXPECT_EQ(keychainAccountForPackage("/a/Büro Ω"), "Büro Ω");
    EXPECT_EQ(keychainAccountForPackage("/a/.qly"), ".qly");
}

TEST_F(RealKeyring, StoresFindsAndDeletesAnItemOthersCanSee)
{
    const QString account = QStringLiteral("Täglich Ωmega");
    const QString password = QStringLiteral("pässwörd €😀 \"quoted\"");
    EXPECT_EQ(keychain.findGenericPassword(account).status, KeychainStatus::NotFound);

    ASSERT_TRUE(keychain.addGenericPassword(account, password));
    const KeychainLookup found = keychain.findGenericPassword(account);
    EXPECT_EQ(found.status, KeychainStatus::Found);
    EXPECT_EQ(found.password, password);

    // The stored bytes are plain UTF-8 under the two attributes, readable by other tools.
    const ToolResult looked = lookupWithTool(account);
    EXPECT_EQ(looked.exitCode, 0);
    EXPECT_EQ(looked.out, password.toUtf8());
    const QByteArray listed = itemsListedByTool(account);
    EXPECT_TRUE(listed.contains(QStringLiteral("label = Quorly: %1").arg(account).toUtf8())) << listed.constData();

    ASSERT_TRUE(keychain.deleteItem(account));
    EXPECT_EQ(keychain.findGenericPassword(account).status, KeychainStatus::NotFound);
    EXPECT_NE(lookupWithTool(account).exitCode, 0);
    // Gone already: turning the option off must still work.
    EXPECT_TRUE(keychain.deleteItem(account));
}

TEST_F(RealKeyring, SameNamedFilesShareOneItemEvenOneMadeByHand)
{
    const QString account = keychainAccountForPackage("/first/Shared.qly");
    ASSERT_EQ(account, keychainAccountForPackage("/second/folder/Shared.qly"));

    // An item someone made with secret-tool must be replaced, not shadow ours.
    QProcess store;
    store.start(QStringLiteral("secret-tool"),
                {"store", "--label=by hand", "service", "Marrowdenkeeper", "account", account});
    ASSERT_TRUE(store.waitForStarted());
    store.write("typed by hand");
    store.closeWriteChannel();
    ASSERT_TRUE(store.waitForFinished(20000));
    ASSERT_EQ(keychain.findGenericPassword(account).password, "typed by hand");

    ASSERT_TRUE(keychain.addGenericPassword(account, "first"));
    ASSERT_TRUE(keychain.addGenericPassword(account, "second"));
    EXPECT_EQ(keychain.findGenericPassword(account).password, "second");
    EXPECT_EQ(itemsListedByTool(account).count("[/"), 1);

    EXPECT_TRUE(keychain.deleteItem(account));
    EXPECT_NE(lookupWithTool(account).exitCode, 0);
}

// Runs whether or not a keyring is offered: what a bare window manager gives.
TEST(NoSecretService, AnswersUnavailableAtOnceAndBehavesAsEmpty)
{
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());

    {
        const QByteArray nowhere = "unix:path=" + QFile::encodeName(scratch.filePath("no-bus"));
        ScopedEnv bus("DBUS_SESSION_BUS_ADDRESS", &nowhere);
        SecretServiceKeychain none;
        EXPECT_FALSE(none.isAvailable());
        EXPECT_EQ(none.findGenericPassword("Home").status, KeychainStatus::NotFound);
        EXPECT_FALSE(none.addGenericPassword("Home", "secret"));
    }
    {
        // No address and no bus in the runtime folder: no bus may be autolaunched.
        const QByteArray runtime = QFile::encodeName(scratch.path());
        ScopedEnv bus("DBUS_SESSION_BUS_ADDRESS", nullptr);
        ScopedEnv dir("XDG_RUNTIME_DIR", &runtime);
        EXPECT_FALSE(SecretServiceKeychain::probeSecretService());
    }
    {
        // A bus that takes the connection but never says a word must not hold us.
        const QByteArray path = QFile::encodeName(scratch.filePath("mute-bus"));
        const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_GE(server, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        ASSERT_LT(static_cast<size_t>(path.size()), sizeof addr.sun_path);
        std::memcpy(addr.sun_path, path.constData(), static_cast<size_t>(path.size()));
        ASSERT_EQ(::bind(server, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        ASSERT_EQ(::listen(server, 4), 0);
        const QByteArray mute = "unix:path=" + path;
        ScopedEnv bus("DBUS_SESSION_BUS_ADDRESS", &mute);
        EXPECT_FALSE(SecretServiceKeychain::probeSecretService(std::chrono::milliseconds(500)));
        ::close(server);
    }
}
