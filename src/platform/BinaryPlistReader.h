#pragma once

#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorly {

// A property list as a flat table of objects that refer to one another by index, read
// without building a tree: the keyed archive above it is itself a table, and a tree
// node per object is what makes reading large archives slow. A binary list is read in
// place: every object is checked once when the table is made, and afterwards parsed
// again from its bytes whenever it is asked for, so the table costs no memory per
// object. The source bytes must outlive it.
class PlistTable {
public:
    enum class Kind : uint8_t { Other, Bool, Integer, Real, String, Data, Date, Uid, Array, Dictionary };
    enum class Text : uint8_t { Latin1, Utf16BigEndian, Utf8 };

    struct Object {
        Kind kind = Kind::Other;
        Text text = Text::Latin1;
        // An integer above the signed 64-bit range that was stored as unsigned.
        bool bigUnsigned = false;
        // Bool, integer bits, real bits or UID; for text and containers, where their
        // units or members begin.
        uint64_t value = 0;
        // Units of text; members of an array; pairs of a dictionary.
        uint64_t count = 0;
    };

    // A text object's units where they are stored.
    struct TextView {
        Text encoding = Text::Latin1;
        const unsigned char* units = nullptr;
        qsizetype length = 0;  // in units: bytes, or 16-bit units for UTF-16

        QString toString() const;
        // Writes the length() UTF-16 units of the text to `out`. Only for Latin-1 and
        // UTF-16, where units and UTF-16 units are one to one.
        void toUtf16(char16_t* out) const;
        bool isUtf8() const { return encoding == Text::Utf8; }
    };

    uint64_t size() const { return count_; }
    uint64_t top() const { return top_; }
    Object at(uint64_t index) const;

    // The index of an array's item or a dictionary's key (then its values follow
    // `count` later): every one lies inside the table.
    uint64_t member(const Object& container, uint64_t i) const;
    QString string(const Object& text) const { return view(text).toString(); }
    TextView view(const Object& text) const;
    bool textIs(const Object& text, std::string_view ascii) const;
    // The value stored under an ASCII key (the first if repeated), or nothing.
    std::optional<uint64_t> find(const Object& dictionary, std::string_view key) const;

    // Reads a binary property list ("bplist00"); nothing if it is malformed in any way:
    // an offset or count outside the data, references of 0 or more than 8 bytes, a
    // reference to no object, a dictionary key that is not text, a container holding
    // itself, or containers laid over one another so that their members outnumber the
    // bytes that could hold them.
    static std::optional<PlistTable> readBinary(QByteArrayView bytes);

    // For building a table from another source: objects appended in index order,
    // members (keys, then values for a dictionary) listed in `members`.
    uint64_t append(const Object& object)
    {
        objects_.push_back(object);
        count_ = objects_.size();
        return count_ - 1;
    }
    Object& objectAt(uint64_t index) { return objects_[index]; }
    std::vector<uint64_t>& members() { return members_; }
    std::string& utf8() { return utf8_; }
    void setTop(uint64_t top) { top_ = top; }

private:
    // Objects of a built table; empty for a binary one, whose objects are parsed from
    // the source when asked for.
    std::vector<Object> objects_;
    std::vector<uint64_t> members_;  // of containers not read from binary data
    std::string utf8_;               // text not read from binary data
    const unsigned char* source_ = nullptr;
    const unsigned char* offsets_ = nullptr;  // the offset table
    uint64_t objectsEnd_ = 0;                 // where the offset table begins
    int offsetSize_ = 0;
    int refSize_ = 0;  // 0: members are in members_
    uint64_t count_ = 0;
    uint64_t top_ = 0;
};

}  // namespace quorly
