#pragma once

#include "platform/BinaryPlistEncoding.h"
#include "platform/LargeMemory.h"

#include <QHash>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace quorly::BinaryPlist {

// The objects both property list writers share: an equal string, number or reference
// is made once and its number handed out again, as the platform's writer does. `Writer`
// makes a new object with newScalar(bytes, encode), where encode(out) writes its bytes.
template <typename Writer>
class ObjectSharing {
public:
    uint64_t string(const QString& text)
    {
        const auto found = strings_.constFind(text);
        if (found != strings_.constEnd())
            return *found;
        const uint64_t number = self().newScalar(stringLength(text), [&text](auto& out) { appendString(out, text); });
        strings_.insert(text, number);
        return number;
    }

    uint64_t integer(uint64_t bits)  // two's-complement patterns of negative values included
    {
        auto [it, fresh] = integers_.try_emplace(bits, 0);
        if (fresh)
            it->second = self().newScalar(1 + uint64_t(bytesFor(bits)), [bits](auto& out) { appendInteger(out, bits); });
        return it->second;
    }

    uint64_t real(double value)
    {
        uint64_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        auto [it, fresh] = reals_.try_emplace(bits, 0);
        if (fresh) {
            it->second = self().newScalar(9, [bits](auto& out) {
                out.push_back(static_cast<char>(0x23));
                appendBigEndian(out, bits, 8);
            });
        }
        return it->second;
    }

    uint64_t boolean(bool value)
    {
        uint64_t& slot = booleans_[value ? 1 : 0];
        if (slot == UINT64_MAX)
            slot = self().newScalar(1, [value](auto& out) { out.push_back(static_cast<char>(value ? 0x09 : 0x08)); });
        return slot;
    }

    uint64_t uid(uint64_t value)
    {
        const int n = bytesFor(value);
        auto encode = [value, n](auto& out) {
            out.push_back(static_cast<char>(0x80 | (n - 1)));
            appendBigEndian(out, value, n);
        };
        if (value < kDirectUids) {
            if (value < smallUids_.size() && smallUids_[value] != kNoUid)
                return smallUids_[value];
            if (value >= smallUids_.size())
                smallUids_.resize(std::max<std::size_t>(value + 1, smallUids_.size() * 2), kNoUid);
            const uint64_t number = self().newScalar(1 + uint64_t(n), encode);
            smallUids_[value] = uint32_t(number);
            return number;
        }
        auto [it, fresh] = uids_.try_emplace(value, 0);
        if (fresh)
            it->second = self().newScalar(1 + uint64_t(n), encode);
        return it->second;
    }

    // References (UIDs) will mostly be below `count`: room for them at once.
    void expectUidsBelow(std::size_t count)
    {
        if (count <= kDirectUids && count > smallUids_.size())
            smallUids_.resize(count, kNoUid);
    }

protected:
    // Everything made is forgotten: the same calls number the same objects again.
    void forgetShared()
    {
        strings_.clear();
        integers_.clear();
        reals_.clear();
        uids_.clear();
        std::fill(smallUids_.begin(), smallUids_.end(), kNoUid);
        booleans_[0] = booleans_[1] = UINT64_MAX;
    }

private:
    static constexpr uint64_t kDirectUids = uint64_t(1) << 24;
    static constexpr uint32_t kNoUid = UINT32_MAX;

    Writer& self() { return static_cast<Writer&>(*this); }

    QHash<QString, uint64_t> strings_;
    std::unordered_map<uint64_t, uint64_t> integers_;
    std::unordered_map<uint64_t, uint64_t> reals_;
    std::unordered_map<uint64_t, uint64_t> uids_;
    std::vector<uint32_t, large_memory::Allocator<uint32_t>> smallUids_;  // the dense low references
    uint64_t booleans_[2] = {UINT64_MAX, UINT64_MAX};
};

}  // namespace quorly::BinaryPlist
