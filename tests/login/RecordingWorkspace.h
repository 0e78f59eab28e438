#pragma once

// A workspace that records which browser was asked to open which URL, and starts (or
// fails to start) as the test says.
#include "platform/Workspace.h"

#include <QStringList>

namespace quorly::test {

class RecordingWorkspace : public Workspace {
public:
    // "firefox.desktop https://..." for a chosen browser, "default https://..." for the
    // default one.
    QStringList opened;
    bool browsersStart = true;
    bool defaultStarts = true;

    bool openURLWithBrowser(const Browser& browser, const QString& url) override
    {
        opened << browser.identifier + u' ' + url;
        return browsersStart;
    }
    bool openURL(const QString& url) override
    {
        opened << QStringLiteral("default ") + url;
        return defaultStarts;
    }
};

}  // namespace quorly::test
