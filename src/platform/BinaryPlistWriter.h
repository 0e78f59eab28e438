#pragma once

#include "platform/BinaryPlistSharing.h"
#include "platform/Crypto.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quorly::BinaryPlist {

// Builds a binary property list ("bplist00") object by object, in time linear in its
// size. Objects are numbered in the order they are made; a container takes its number
// when begun and receives its members' numbers when set, so a writer that walks a tree
// depth first numbers it as the platform's writer does. Equal strings, numbers and
// references are written once and shared.
class Writer : public ObjectSharing<Writer> {
public:
    using Bytes = std::basic_string<char, std::char_traits<char>, crypto::CleansingAllocator<char>>;

    Writer() = default;
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;
    ~Writer();

    uint64_t beginContainer();
    void setArray(uint64_t array, std::span<const uint64_t> items);
    // `keysThenValues` holds the keys' numbers followed by as many values' numbers.
    void setDictionary(uint64_t dictionary, std::span<const uint64_t> keysThenValues);

    QByteArray finish(uint64_t top) const;

private:
    friend class ObjectSharing<Writer>;

    struct Object {
        uint64_t begin = 0;   // into bytes_ for a scalar, into refs_ for a container
        uint64_t length = 0;  // bytes of a scalar; references of a container
        uint8_t container = 0;  // 0, or the array or dictionary marker
    };

    template <typename Encode>
    uint64_t newScalar(uint64_t length, Encode encode)
    {
        const std::size_t begin = bytes_.size();
        encode(bytes_);
        objects_.push_back(Object{begin, length, 0});
        return objects_.size() - 1;
    }

    std::vector<Object> objects_;
    Bytes bytes_;
    std::vector<uint64_t> refs_;
};

}  // namespace quorly::BinaryPlist
