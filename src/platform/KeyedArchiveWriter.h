#pragma once

#include "platform/LargeMemory.h"

#include <QByteArray>
#include <QHash>
#include <QAnyStringView>

#include <cstdint>
#include <vector>

namespace quorly {
class ByteSink;
namespace BinaryPlist {
class StreamWriter;
}
}  // namespace quorly

namespace quorly::KeyedArchive {

// Makes a keyed archive object by object, in the object-graph layout of the platform's
// keyed archiver ("$archiver", "$version" 100000, "$top" {root}, "$objects" beginning
// with "$null"), so that files stay exchangeable with Quorly for Mac OS X.
//
// Objects are numbered as that archiver numbers them: a container takes its number when
// it is opened, its members are then made and added in order (a dictionary's keys
// first, then as many values), and the class description of its kind follows the first
// container of that kind when it is closed. Equal texts and equal numbers of one kind
// become one object. The first object made is the root.
class Writer {
public:
    Writer();
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    // Room for `objects` objects and `refs` container members, for a writer that knows
    // its size roughly.
    void reserve(std::size_t objects, std::size_t refs);

    // The text (Latin-1 or UTF-16) is not copied: it must stay as it is until finish().
    uint64_t string(QAnyStringView text);
    uint64_t boolean(bool value);
    uint64_t integer(qint64 value);
    uint64_t real(double value);

    uint64_t openArray();
    uint64_t openDictionary();
    // A member of the innermost open container.
    void add(uint64_t member);
    // Closes the innermost open container.
    void close();

    // The archive as a binary property list, in memory (empty when it would be too large
    // for any reader, 4 GiB) or written to `sink` (false when the sink failed or for the
    // same reason).
    QByteArray finish();
    bool finish(ByteSink& sink);

private:
    enum class Kind : uint8_t { Null, String, Bool, Integer, Real, Array, Dictionary, ArrayClass, DictionaryClass };

    struct Object {
        // A text's units, a scalar's bits, or a container's class.
        uint64_t payload = 0;
        uint32_t first = 0;  // a text's length; a container's first member in refs_
        uint32_t count = 0;  // a container's members (keys and values of a dictionary); 1 for a Latin-1 text
        Kind kind = Kind::Null;
    };

    struct Open {
        uint64_t uid;
        std::size_t from;  // where its members begin in scratch_
    };

    // Makes the property list's objects: a run that numbers them, then one that
    // writes them (see BinaryPlist::StreamWriter).
    uint64_t makeObjects(BinaryPlist::StreamWriter& w);
    uint64_t number(BinaryPlist::StreamWriter& w);
    bool write(BinaryPlist::StreamWriter& w, ByteSink& sink);
    uint64_t append(Kind kind, uint64_t payload = 0, uint32_t first = 0);
    uint64_t scalar(Kind kind, uint64_t bits, QHash<uint64_t, uint64_t>& shared);
    QAnyStringView textOf(const Object& object) const;
    void growStrings();

    std::vector<Object, large_memory::Allocator<Object>> objects_;
    std::vector<uint32_t, large_memory::Allocator<uint32_t>> refs_;
    // Members of the open containers, the innermost last: a container's own run stays
    // put while its members' containers push and pop above it.
    std::vector<uint64_t, large_memory::Allocator<uint64_t>> scratch_;
    std::vector<Open> open_;
    struct StringSlot {
        uint32_t hash = 0;  // 0 marks a free slot
        uint32_t uid = 0;
    };
    std::vector<StringSlot, large_memory::Allocator<StringSlot>> stringSlots_;
    std::size_t stringCount_ = 0;
    QHash<uint64_t, uint64_t> bools_;
    QHash<uint64_t, uint64_t> integers_;
    QHash<uint64_t, uint64_t> reals_;
    // The number of each object's property list object, from the numbering run.
    std::vector<uint32_t, large_memory::Allocator<uint32_t>> table_;
    uint64_t arrayClass_ = 0;
    uint64_t dictionaryClass_ = 0;
};

}  // namespace quorly::KeyedArchive
