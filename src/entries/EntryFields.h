#pragma once

#include "entries/Entry.h"

#include <QString>

#include <optional>

namespace quorly {

// The fields of an entry that can be copied, one at a time, to the clipboard.
enum class EntryField { UserID, SecondUserID, Password, URL };

QString entryFieldText(const Entry& entry, EntryField field);

// The names `quorly-cli clip --field` takes: "password", "user", "user2" and "url".
std::optional<EntryField> entryFieldNamed(const QString& name);

// An entry as `quorly-cli show` prints it: its name, then each field that holds
// something, one labelled line each (the labels of the hover text), the password as
// asterisks unless `showPassword`. The asterisks are as many for every password, so
// they tell nothing of its length. A value of several lines continues on indented lines.
QString entryShowText(const Entry& entry, bool showPassword);

}  // namespace quorly
