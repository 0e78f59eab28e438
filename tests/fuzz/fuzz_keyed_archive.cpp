#include "fuzz_oracle.h"
#include "platform/KeyedArchive.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    quorly::fuzz::checkRoundTrip(quorly::KeyedArchive::decode(bytes));
    return 0;
}
