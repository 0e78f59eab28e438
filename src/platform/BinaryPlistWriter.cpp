#include "platform/BinaryPlistWriter.h"

#include "platform/BinaryPlistEncoding.h"

#include <algorithm>
#include <cstring>

namespace quorly::BinaryPlist {

namespace {

// The archive holds every password of the file: its buffers are wiped as they are
// outgrown and when they go.
using Bytes = Writer::Bytes;

// Writes into room made beforehand.
struct Cursor {
    char* at;
    void push_back(char c) { *at++ = c; }
    void append(const char* data, std::size_t length)
    {
        std::memcpy(at, data, length);
        at += length;
    }
};

}  // namespace

Writer::~Writer()
{
    // Short texts live inside the string object itself, where no allocator sees them;
    // the allocator wipes a long one's buffer.
    crypto::cleanse(bytes_.data(), bytes_.size());
}

uint64_t Writer::beginContainer()
{
    objects_.push_back(Object{});
    return objects_.size() - 1;
}

void Writer::setArray(uint64_t array, std::span<const uint64_t> items)
{
    objects_[array] = Object{refs_.size(), items.size(), 0xA0};
    refs_.insert(refs_.end(), items.begin(), items.end());
}

void Writer::setDictionary(uint64_t dictionary, std::span<const uint64_t> keysThenValues)
{
    objects_[dictionary] = Object{refs_.size(), keysThenValues.size(), 0xD0};
    refs_.insert(refs_.end(), keysThenValues.begin(), keysThenValues.end());
}

QByteArray Writer::finish(uint64_t top) const
{
    const uint64_t count = objects_.size();
    const int refSize = bytesFor(count == 0 ? 0 : count - 1);
    auto membersOf = [](const Object& object) {
        return object.container == 0xD0 ? object.length / 2 : object.length;
    };
    // Where each object will begin, so that the archive is written straight into a
    // result of its exact size: it never grows, no outgrown copy of it is left unwiped,
    // and no byte is appended one call at a time.
    std::vector<uint64_t> offsets;
    offsets.reserve(count);
    uint64_t end = 8;
    for (const Object& object : objects_) {
        offsets.push_back(end);
        end += object.container ? markerLength(membersOf(object)) + object.length * uint64_t(refSize) : object.length;
    }
    const uint64_t tableOffset = end;
    const int offsetSize = bytesFor(offsets.empty() ? 0 : offsets.back());
    QByteArray out(qsizetype(tableOffset + count * uint64_t(offsetSize) + 32), Qt::Uninitialized);
    Cursor cursor{out.data()};
    cursor.append("bplist00", 8);
    for (const Object& object : objects_) {
        if (!object.container) {
            cursor.append(bytes_.data() + object.begin, std::size_t(object.length));
            continue;
        }
        appendMarker(cursor, object.container, membersOf(object));
        for (uint64_t i = object.begin; i < object.begin + object.length; ++i)
            appendBigEndian(cursor, refs_[i], refSize);
    }
    for (uint64_t offset : offsets)
        appendBigEndian(cursor, offset, offsetSize);
    cursor.append("\0\0\0\0\0\0", 6);
    cursor.push_back(static_cast<char>(offsetSize));
    cursor.push_back(static_cast<char>(refSize));
    appendBigEndian(cursor, count, 8);
    appendBigEndian(cursor, top, 8);
    appendBigEndian(cursor, tableOffset, 8);
    Q_ASSERT(cursor.at == out.data() + out.size());
    return out;
}

}  // namespace quorly::BinaryPlist
