#pragma once

#include <QString>

#include <optional>
#include <utility>
#include <vector>

namespace quorly {

// The object graph stored in a password file's archives: arrays, dictionaries with
// string keys (in stored order), strings, booleans, integers and reals. Both archive
// readers produce it and the keyed-archive writer consumes it.
class ArchiveValue {
public:
    enum class Type { String, Bool, Integer, Real, Array, Dictionary };
    using Array = std::vector<ArchiveValue>;
    using Dictionary = std::vector<std::pair<QString, ArchiveValue>>;

    ArchiveValue() : type_(Type::String) {}
    ArchiveValue(QString s) : type_(Type::String), string_(std::move(s)) {}
    static ArchiveValue fromBool(bool b) { ArchiveValue v; v.type_ = Type::Bool; v.bool_ = b; return v; }
    static ArchiveValue fromInteger(qint64 i) { ArchiveValue v; v.type_ = Type::Integer; v.integer_ = i; return v; }
    static ArchiveValue fromReal(double r) { ArchiveValue v; v.type_ = Type::Real; v.real_ = r; return v; }
    static ArchiveValue fromArray(Array a) { ArchiveValue v; v.type_ = Type::Array; v.array_ = std::move(a); return v; }
    static ArchiveValue fromDictionary(Dictionary d) { ArchiveValue v; v.type_ = Type::Dictionary; v.dictionary_ = std::move(d); return v; }

    Type type() const { return type_; }
    const QString& string() const { return string_; }
    bool boolean() const { return bool_; }
    qint64 integer() const { return integer_; }
    double real() const { return real_; }
    const Array& array() const { return array_; }
    Array& array() { return array_; }
    const Dictionary& dictionary() const { return dictionary_; }
    Dictionary& dictionary() { return dictionary_; }

    friend bool operator==(const ArchiveValue& a, const ArchiveValue& b);

private:
    Type type_;
    QString string_;
    bool bool_ = false;
    qint64 integer_ = 0;
    double real_ = 0.0;
    Array array_;
    Dictionary dictionary_;
};

// Outcome of reading an archive: a root object, or a message saying what is wrong.
struct ArchiveReadResult {
    std::optional<ArchiveValue> root;
    QString error;
    explicit operator bool() const { return root.has_value(); }
};

}  // namespace quorly
