#pragma once

// For benchmarks that open or make password files without a screen: a window that
// gives the one password they use and says yes to every question.
#include "store/DocumentWindow.h"

#include <QString>

#include <optional>

namespace quorly::bench {

inline const QString kFramis = QStringLiteral("correct horse battery staple");

class AnsweringWindow : public DocumentWindow {
public:
    int prompt(const QString&, const QString&, const QString&) override { return 1; }
    std::optional<QString> askFilePassword(const QString&) override { return kFramis; }
    void showEntries(EntryList&) override {}
    void reloadList() override {}
    void selectRows(const QList<int>&) override {}
    void deselectAll() override {}
    void setWriteable(bool) override {}
    void closeWindow() override {}
};

}  // namespace quorly::bench
