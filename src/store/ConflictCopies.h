#pragma once

#include <QString>

namespace quorly {

// Which of a package's main files an item beside them is a copy of.
enum class CopyOf { Nothing, Data, RecentWebsites };

// The name rule for copies that sync engines and other programs place beside
// "Data.qlyi" and "Recent Websites.qlyi" when two machines changed the file at once:
// - a name that begins with "Data " or "Recent Websites " (with the blank) and ends with
//   ".qlyi": Dropbox's "Data (Ann's conflicted copy 2024-01-05).qlyi", Nextcloud's
//   "Data (conflicted copy 2024-01-05 101010).qlyi", a copy a person made by hand;
// - Syncthing's "Data.sync-conflict-20240105-101010-ABCDEFG.qlyi" (the device part may
//   be missing in copies of old versions, and a copy of a copy repeats the middle part).
// Hidden names are never copies: sync engines keep their transfers in them
// (".syncthing.Data.qlyi.tmp"), and so does the program itself while it writes.
// The rule looks at the name alone; whether the item is a readable file is the
// merge's question.
CopyOf conflictCopyOf(const QString& name);

}  // namespace quorly
