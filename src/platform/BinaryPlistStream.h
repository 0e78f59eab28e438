#pragma once

#include "platform/BinaryPlistSharing.h"
#include "platform/ByteSink.h"
#include "platform/Crypto.h"
#include "platform/LargeMemory.h"

#include <QString>
#include <QAnyStringView>
#include <QStringView>

#include <cstdint>
#include <span>
#include <vector>

namespace quorly::BinaryPlist {

// Writes a binary property list ("bplist00") straight to a sink, for lists too large to
// be held whole beside what they are made of. The same calls are made twice: the first
// run only numbers the objects, which settles how wide a reference is; the second
// writes them. Objects are numbered and shared as BinaryPlist::Writer numbers and
// shares them, so both make the same bytes.
//
// Objects are written in the order of their numbers. A container is written once its
// members are set, and the objects made after it wait in a small buffer until then: a
// container's members must be set soon after it is begun.
class StreamWriter : public ObjectSharing<StreamWriter> {
public:
    StreamWriter() = default;
    StreamWriter(const StreamWriter&) = delete;
    StreamWriter& operator=(const StreamWriter&) = delete;
    ~StreamWriter();

    bool writing() const { return sink_ != nullptr; }
    // Ends the numbering run; the same calls now write to `sink`.
    void startWriting(ByteSink& sink);
    // After the numbering run: the list takes at most this many bytes.
    std::size_t sizeBound() const;
    // After the writing run: the offset table and the trailer. False when the sink
    // failed or the list would be too large for any reader (4 GiB).
    bool finish(uint64_t top);

    // A text the caller knows is never written again, through either call: it is not
    // entered for sharing, which saves the hashing of every stored text. It is encoded
    // at once: the text need not outlive the call.
    uint64_t distinctString(QAnyStringView text);

    uint64_t beginContainer();
    void setArray(uint64_t array, std::span<const uint64_t> items);
    void setArray(uint64_t array, std::span<const uint32_t> items);
    void setDictionary(uint64_t dictionary, std::span<const uint64_t> keysThenValues);

private:
    friend class ObjectSharing<StreamWriter>;

    struct Pending {
        uint64_t begin = 0;   // into pendingBytes_ for a scalar, into pendingRefs_ for a container
        uint64_t length = 0;
        uint8_t container = 0;  // 0, or the array or dictionary marker
        bool set = false;
    };
    // Bytes of objects that wait for an earlier container.
    struct HeldBytes {
        std::vector<char, crypto::CleansingAllocator<char>>& bytes;
        void push_back(char c) { bytes.push_back(c); }
        void append(const char* data, std::size_t length) { bytes.insert(bytes.end(), data, data + length); }
    };

    // Every new object but a container goes through here: written at once, or held
    // while an earlier container waits for its members.
    template <typename Encode>
    uint64_t newScalar(uint64_t length, Encode encode)
    {
        const uint64_t number = count_++;
        if (!sink_) {
            scalarBytes_ += length;
            return number;
        }
        if (pending_.empty()) {
            markOffset();
            encode(*sink_);
            position_ += length;
            return number;
        }
        const std::size_t begin = pendingBytes_.size();
        HeldBytes held{pendingBytes_};
        encode(held);
        pending_.push_back(Pending{begin, length, 0, true});
        return number;
    }
    template <typename Ref>
    void writeContainer(uint8_t marker, std::span<const Ref> refs);
    template <typename Ref>
    void setContainer(uint64_t container, uint8_t marker, std::span<const Ref> refs);
    void writeReady();
    void markOffset();

    // Numbering, the same in both runs.
    uint64_t count_ = 0;

    // Sizes from the numbering run.
    uint64_t objects_ = 0;
    uint64_t scalarBytes_ = 0;
    uint64_t containerRefs_ = 0;
    uint64_t containerMarkers_ = 0;

    // The writing run.
    ByteSink* sink_ = nullptr;
    int refSize_ = 1;
    // Readers take no list of 4 GiB or more, so an offset fits 32 bits.
    std::vector<uint32_t, large_memory::Allocator<uint32_t>> offsets_;
    bool tooLarge_ = false;
    uint64_t position_ = 0;
    std::size_t head_ = 0;  // the first of pending_ not yet written
    std::vector<Pending> pending_;
    std::vector<char, crypto::CleansingAllocator<char>> pendingBytes_;
    std::vector<uint64_t> pendingRefs_;
};

}  // namespace quorly::BinaryPlist
