#pragma once

#include <QString>

#include <optional>

namespace quorly {

// The address Go To URL opens for an entry's stored "websiteURL": "http://" is put in
// front unless it begins with "http://", "https://" or "file://", written exactly so
// (a prefix in capitals is not recognised). Nothing else is changed or checked.
QString normalisedWebsiteURL(const QString& url);

// The normalised address as it is handed to a browser: one well-formed URL, with what
// a URL may not hold as written (blanks, quotes, line breaks, letters beyond ASCII)
// percent-encoded and a name beyond ASCII in its ASCII form. None when no URL can be
// made of it: a blank inside the host name, a port that is no number, no host at all.
std::optional<QString> launchableURL(const QString& normalised);

}  // namespace quorly
