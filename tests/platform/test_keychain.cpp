// The keychain against a real GNOME keyring on a private session bus
// (scripts/with-test-services), and the keychain's behaviour without any.
#include "platform/Keychain.h"
#include "platform/desktop/SecretServiceKeychain.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
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

ToolResult secretTool(const QStringList& args, QProcess::ProcessChannelMode channels = QProcess::SeparateChannels)
{
    QProcess tool;
    tool.setProcessChannelMode(channels);
    tool.start(QStringLiteral("secret-tool"), args);
    if (!tool.waitForFinished(20000))
        return {};
    return {tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1, tool.readAllStandardOutput()};
}

ToolResult lookupWithTool(const QString& account)
{
    return secretTool({"lookup", "service", "Marrowdenkeeper", "account", account});
}

// The tool writes each item's attributes to its error output, the rest to its output.
QByteArray itemsListedByTool(const QString& account)
{
    return secretTool({"search", "--all", "service", "Marrowdenkeeper", "account", account},
                      QProcess::MergedChannels)
        .out;
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

TEST(KeychainItem, AccountIsTheNameWithoutExtensionPathTheCanonicalOne)
{
    EXPECT_EQ(keychainAccountForPackage("/a/b/Home.qly"), "Home");
    EXPECT_EQ(keychainAccountForPackage("/a/b/Home.qly/"), "Home");
    EXPECT_EQ(keychainAccountForPackage("Bank.v2.qly"), "Bank.v2");
    EXPECT_EQ(keychainAccountForPackage("/a/Büro Ω"), "Büro Ω");
    EXPECT_EQ(keychainAccountForPackage("/a/.qly"), ".qly");

    QTemporaryDir scratch;
    ASSERT_TRUE(QDir(scratch.path()).mkpath("real/Home.qly"));
    ASSERT_TRUE(QFile::link(scratch.filePath("real"), scratch.filePath("link")));
    const QString real = QFileInfo(scratch.filePath("real/Home.qly")).canonicalFilePath();
    const KeychainItemKey viaLink = keychainItemForPackage(scratch.filePath("link/Home.qly/"));
    EXPECT_EQ(viaLink.account, "Home");
    EXPECT_EQ(viaLink.path, real);
    EXPECT_EQ(keychainItemForPackage("/gone/../gone/Old.qly/").path, "/gone/Old.qly");
}

TEST(KeychainItem, AnItemWithoutPathServesOnlyWhenItIsTheAccountsOnlyItem)
{
    const auto choose = [](const QStringList& paths) { return chooseKeychainItem(paths, "/a/Home.qly"); };
    EXPECT_EQ(choose({"/b/Home.qly", "/a/Home.qly"}).index, 1);
    EXPECT_FALSE(choose({"", "/a/Home.qly"}).legacy);
    EXPECT_EQ(choose({""}).index, 0);
    EXPECT_TRUE(choose({""}).legacy);
    for (const QStringList& none : {QStringList{}, QStringList{"/b/Home.qly"}, QStringList{"", "/b/Home.qly"},
                                    QStringList{"", ""}})
        EXPECT_EQ(choose(none).index, -1) << none.join(',').toStdString();
}

TEST_F(RealKeyring, StoresFindsAndDeletesAnItemOthersCanSee)
{
    const KeychainItemKey item{QStringLiteral("Täglich Ωmega"), QStringLiteral("/home/u/Täglich Ωmega.qly")};
    const QString password = QStringLiteral("pässwörd €😀 \"quoted\"");
    EXPECT_EQ(keychain.findGenericPassword(item).status, KeychainStatus::NotFound);

    ASSERT_TRUE(keychain.addGenericPassword(item, password));
    const KeychainLookup found = keychain.findGenericPassword(item);
    EXPECT_EQ(found.status, KeychainStatus::Found);
    EXPECT_EQ(found.password, password);
    EXPECT_FALSE(found.claim);

    // The stored bytes are plain UTF-8 under the attributes, readable by other tools.
    const ToolResult looked = lookupWithTool(item.account);
    EXPECT_EQ(looked.exitCode, 0);
    EXPECT_EQ(looked.out, password.toUtf8());
    const QByteArray listed = itemsListedByTool(item.account);
    EXPECT_TRUE(listed.contains(QStringLiteral("attribute.path = %1").arg(item.path).toUtf8())) << listed.constData();
    EXPECT_TRUE(listed.contains(QStringLiteral("label = Quorly: %1 (%2)").arg(item.account, item.path).toUtf8()));

    ASSERT_TRUE(keychain.deleteItem(item));
    EXPECT_EQ(keychain.findGenericPassword(item).status, KeychainStatus::NotFound);
    EXPECT_NE(lookupWithTool(item.account).exitCode, 0);
    // Gone already: turning the option off must still work.
    EXPECT_TRUE(keychain.deleteItem(item));
}

// ~/Personal.qly and ~/other/Personal.qly, and an item an earlier version (or someone
// with secret-tool) stored under the name alone.
TEST_F(RealKeyring, SameNamedFilesKeepTheirOwnItemsAndAnItemWithoutPathServesOnlyAlone)
{
    const KeychainItemKey first{QStringLiteral("Personal"), QStringLiteral("/home/u/Personal.qly")};
    const KeychainItemKey second{QStringLiteral("Personal"), QStringLiteral("/home/u/other/Personal.qly")};
    const auto itemCount = [&] { return ("\n" + itemsListedByTool(first.account)).count("\n[/"); };

    QProcess store;
    store.start(QStringLiteral("secret-tool"),
                {"store", "--label=by hand", "service", "Marrowdenkeeper", "account", first.account});
    ASSERT_TRUE(store.waitForStarted());
    store.write("typed by hand");
    store.closeWriteChannel();
    ASSERT_TRUE(store.waitForFinished(20000));
    const KeychainLookup old = keychain.findGenericPassword(second);
    EXPECT_EQ(old.password, "typed by hand");
    EXPECT_TRUE(old.claim);  // to be proved by the file it opens

    // Storing the second file's password neither replaces the old item nor takes it.
    ASSERT_TRUE(keychain.addGenericPassword(second, "second's"));
    EXPECT_EQ(itemCount(), 2);
    EXPECT_EQ(keychain.findGenericPassword(second).password, "second's");
    EXPECT_EQ(keychain.findGenericPassword(first).status, KeychainStatus::NotFound);
    ASSERT_TRUE(keychain.deleteItem(second));
    EXPECT_EQ(lookupWithTool(first.account).out, "typed by hand");

    // Proved by the first file, the old item becomes its own, and the other file's
    // lookup no longer sees it; other tools still find it by name.
    ASSERT_TRUE(keychain.findGenericPassword(first).claim());
    const KeychainLookup claimed = keychain.findGenericPassword(first);
    EXPECT_EQ(claimed.password, "typed by hand");
    EXPECT_FALSE(claimed.claim);
    EXPECT_EQ(keychain.findGenericPassword(second).status, KeychainStatus::NotFound);
    EXPECT_EQ(lookupWithTool(first.account).out, "typed by hand");

    ASSERT_TRUE(keychain.addGenericPassword(first, "first's"));
    EXPECT_EQ(itemCount(), 1);
    EXPECT_TRUE(keychain.deleteItem(second));  // another path's: nothing of the first goes
    EXPECT_EQ(keychain.findGenericPassword(first).password, "first's");
    EXPECT_TRUE(keychain.deleteItem(first));
    EXPECT_EQ(itemCount(), 0);
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
        const KeychainItemKey home{"Home", "/home/u/Home.qly"};
        EXPECT_EQ(none.findGenericPassword(home).status, KeychainStatus::NotFound);
        EXPECT_FALSE(none.addGenericPassword(home, "secret"));
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
