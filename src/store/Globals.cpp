#include "store/Globals.h"

#include "login/WebsitePasswordManager.h"
#include "store/MyDocument.h"

#include <openssl/crypto.h>

namespace quorly {

std::optional<QString> gFramis;
QPointer<MyDocument> gWebsiteDocument;
QPointer<WebsitePasswordManager> gWPM;
EntryRef gWebsiteItem;
RecentWebsitesMenu* gRecentWebsitesMenu = nullptr;

void cleanseString(QString& s)
{
    // Only an unshared buffer is ours to overwrite; detaching would wipe a fresh copy.
    if (!s.isEmpty() && !s.isDetached()) {
        s.clear();
        return;
    }
    if (!s.isEmpty())
        OPENSSL_cleanse(s.data(), size_t(s.size()) * sizeof(QChar));
    s.clear();
}

void clearGFramis()
{
    if (gFramis)
        cleanseString(*gFramis);
    gFramis.reset();
}

std::optional<QString> takeGFramis()
{
    std::optional<QString> framis = std::move(gFramis);
    gFramis.reset();
    return framis;
}

}  // namespace quorly
