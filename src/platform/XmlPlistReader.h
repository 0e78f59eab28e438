#pragma once

#include "platform/BinaryPlistReader.h"

#include <QByteArrayView>

#include <optional>

namespace quorly {

// Reads an XML property list (libplist parses it) into a table like a binary one's;
// nothing if it is not one.
std::optional<PlistTable> readXmlPlist(QByteArrayView bytes);

}  // namespace quorly
