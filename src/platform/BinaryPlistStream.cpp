#include "platform/BinaryPlistStream.h"

#include "platform/BinaryPlistEncoding.h"

#include <algorithm>
#include <cstring>

namespace quorly::BinaryPlist {

StreamWriter::~StreamWriter() = default;

void StreamWriter::markOffset()
{
    tooLarge_ = tooLarge_ || position_ > UINT32_MAX;
    offsets_.push_back(uint32_t(position_));
}

void StreamWriter::startWriting(ByteSink& sink)
{
    objects_ = count_;
    refSize_ = bytesFor(objects_ == 0 ? 0 : objects_ - 1);
    count_ = 0;
    forgetShared();
    offsets_.reserve(objects_);
    sink_ = &sink;
    sink.append("bplist00", 8);
    position_ = 8;
}

std::size_t StreamWriter::sizeBound() const
{
    const auto refSize = uint64_t(bytesFor(count_ == 0 ? 0 : count_ - 1));
    return std::size_t(8 + scalarBytes_ + containerMarkers_ + containerRefs_ * refSize + count_ * 8 + 32);
}

uint64_t StreamWriter::distinctString(QAnyStringView text)
{
    return newScalar(stringLength(text), [text](auto& out) { appendString(out, text); });
}

uint64_t StreamWriter::beginContainer()
{
    const uint64_t number = count_++;
    if (sink_)
        pending_.push_back(Pending{});
    return number;
}

void StreamWriter::setArray(uint64_t array, std::span<const uint64_t> items)
{
    setContainer(array, 0xA0, items);
}

void StreamWriter::setArray(uint64_t array, std::span<const uint32_t> items)
{
    setContainer(array, 0xA0, items);
}

void StreamWriter::setDictionary(uint64_t dictionary, std::span<const uint64_t> keysThenValues)
{
    setContainer(dictionary, 0xD0, keysThenValues);
}

template <typename Ref>
void StreamWriter::writeContainer(uint8_t marker, std::span<const Ref> refs)
{
    const uint64_t members = marker == 0xD0 ? refs.size() / 2 : refs.size();
    markOffset();
    appendMarker(*sink_, marker, members);
    for (const Ref ref : refs)
        appendBigEndian(*sink_, ref, refSize_);
    position_ += markerLength(members) + refs.size() * uint64_t(refSize_);
}

template <typename Ref>
void StreamWriter::setContainer(uint64_t container, uint8_t marker, std::span<const Ref> refs)
{
    const uint64_t members = marker == 0xD0 ? refs.size() / 2 : refs.size();
    if (!sink_) {
        containerRefs_ += refs.size();
        containerMarkers_ += markerLength(members);
        return;
    }
    // The pending objects are the last ones made, numbered up to count_ - 1.
    const std::size_t at = pending_.size() - std::size_t(count_ - container);
    if (at == head_) {
        // Next to be written: straight from the caller's references, which may be as
        // many as the archive has objects.
        writeContainer(marker, refs);
        pending_[at].set = true;
        ++head_;
    } else {
        pending_[at] = Pending{pendingRefs_.size(), refs.size(), marker, true};
        pendingRefs_.insert(pendingRefs_.end(), refs.begin(), refs.end());
    }
    writeReady();
}

void StreamWriter::writeReady()
{
    for (; head_ < pending_.size() && pending_[head_].set; ++head_) {
        const Pending& object = pending_[head_];
        if (object.container) {
            writeContainer(object.container, std::span<const uint64_t>(pendingRefs_).subspan(
                                                 std::size_t(object.begin), std::size_t(object.length)));
            continue;
        }
        markOffset();
        sink_->append(pendingBytes_.data() + object.begin, std::size_t(object.length));
        position_ += object.length;
    }
    if (head_ < pending_.size())
        return;
    head_ = 0;
    pending_.clear();
    pendingBytes_.clear();
    pendingRefs_.clear();
}

bool StreamWriter::finish(uint64_t top)
{
    if (!pending_.empty() || tooLarge_)
        return false;  // a container was never set, or no reader would take the list
    const uint64_t tableOffset = position_;
    const int offsetSize = bytesFor(offsets_.empty() ? 0 : offsets_.back());
    for (uint32_t offset : offsets_)
        appendBigEndian(*sink_, offset, offsetSize);
    sink_->append("\0\0\0\0\0\0", 6);
    sink_->push_back(static_cast<char>(offsetSize));
    sink_->push_back(static_cast<char>(refSize_));
    appendBigEndian(*sink_, objects_, 8);
    appendBigEndian(*sink_, top, 8);
    appendBigEndian(*sink_, tableOffset, 8);
    return sink_->finish();
}

}  // namespace quorly::BinaryPlist
