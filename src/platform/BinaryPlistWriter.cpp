#include "platform/BinaryPlistWriter.h"

#include <QString>

#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

namespace quorly::BinaryPlist {

namespace {

void appendBigEndian(std::string& out, uint64_t value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

int bytesFor(uint64_t value)
{
    if (value <= 0xff)
        return 1;
    if (value <= 0xffff)
        return 2;
    if (value <= 0xffffffffULL)
        return 4;
    return 8;
}

int log2Of(int bytes)
{
    return bytes == 1 ? 0 : bytes == 2 ? 1 : bytes == 4 ? 2 : 3;
}

// An integer object; values from 2^63 up are stored in 8 bytes, which readers take as
// negative two's-complement numbers: the way signed values are kept in this format.
void appendInteger(std::string& out, uint64_t value)
{
    const int bytes = bytesFor(value);
    out.push_back(static_cast<char>(0x10 | log2Of(bytes)));
    appendBigEndian(out, value, bytes);
}

// The marker of a sized object: the count in its low nibble, or 0xF and an integer.
void appendMarker(std::string& out, unsigned kind, uint64_t count)
{
    if (count < 15) {
        out.push_back(static_cast<char>(kind | count));
    } else {
        out.push_back(static_cast<char>(kind | 0x0f));
        appendInteger(out, count);
    }
}

void appendString(std::string& out, const char* utf8, uint64_t length)
{
    bool ascii = true;
    for (uint64_t i = 0; i < length && ascii; ++i)
        ascii = static_cast<unsigned char>(utf8[i]) < 0x80;
    if (ascii) {
        appendMarker(out, 0x50, length);
        out.append(utf8, length);
        return;
    }
    const QString text = QString::fromUtf8(utf8, static_cast<qsizetype>(length));
    appendMarker(out, 0x60, static_cast<uint64_t>(text.size()));
    for (const QChar c : text)
        appendBigEndian(out, c.unicode(), 2);
}

class Writer {
public:
    // The object's index; every object's bytes (containers without their references)
    // are kept in `objects_`, and containers' references in `refs_`.
    bool flatten(plist_t node, uint64_t* index)
    {
        std::string bytes;
        switch (plist_get_node_type(node)) {
        case PLIST_BOOLEAN: {
            uint8_t b = 0;
            plist_get_bool_val(node, &b);
            bytes.push_back(static_cast<char>(b ? 0x09 : 0x08));
            break;
        }
        case PLIST_UINT: {
            uint64_t v = 0;
            plist_get_uint_val(node, &v);
            appendInteger(bytes, v);
            break;
        }
        case PLIST_REAL: {
            double r = 0;
            plist_get_real_val(node, &r);
            uint64_t bits = 0;
            std::memcpy(&bits, &r, sizeof bits);
            bytes.push_back(static_cast<char>(0x23));
            appendBigEndian(bytes, bits, 8);
            break;
        }
        case PLIST_KEY:
        case PLIST_STRING: {
            uint64_t length = 0;
            const char* text = plist_get_string_ptr(node, &length);
            appendString(bytes, text, length);
            break;
        }
        case PLIST_UID: {
            uint64_t v = 0;
            plist_get_uid_val(node, &v);
            const int n = bytesFor(v);
            bytes.push_back(static_cast<char>(0x80 | (n - 1)));
            appendBigEndian(bytes, v, n);
            break;
        }
        case PLIST_ARRAY:
            return flattenArray(node, index);
        case PLIST_DICT:
            return flattenDict(node, index);
        default:
            return false;
        }
        *index = shared(std::move(bytes));
        return true;
    }

    uint64_t keyIndex(const char* key)
    {
        std::string bytes;
        appendString(bytes, key, std::strlen(key));
        return shared(std::move(bytes));
    }

    QByteArray finish(uint64_t top) const
    {
        const uint64_t count = objects_.size();
        const int refSize = bytesFor(count - 1);
        std::string out = "bplist00";
        std::vector<uint64_t> offsets;
        offsets.reserve(count);
        for (uint64_t i = 0; i < count; ++i) {
            offsets.push_back(out.size());
            out += objects_[i];
            for (uint64_t ref : refs_[i])
                appendBigEndian(out, ref, refSize);
        }
        const uint64_t tableOffset = out.size();
        const int offsetSize = bytesFor(offsets.empty() ? 0 : offsets.back());
        for (uint64_t offset : offsets)
            appendBigEndian(out, offset, offsetSize);
        out.append(6, '\0');
        out.push_back(static_cast<char>(offsetSize));
        out.push_back(static_cast<char>(refSize));
        appendBigEndian(out, count, 8);
        appendBigEndian(out, top, 8);
        appendBigEndian(out, tableOffset, 8);
        return QByteArray(out.data(), static_cast<qsizetype>(out.size()));
    }

private:
    uint64_t shared(std::string bytes)
    {
        auto found = scalars_.find(bytes);
        if (found != scalars_.end())
            return found->second;
        const uint64_t index = objects_.size();
        scalars_.emplace(bytes, index);
        objects_.push_back(std::move(bytes));
        refs_.emplace_back();
        return index;
    }

    uint64_t reserveContainer()
    {
        objects_.emplace_back();
        refs_.emplace_back();
        return objects_.size() - 1;
    }

    bool flattenArray(plist_t node, uint64_t* index)
    {
        const uint64_t self = reserveContainer();
        std::vector<uint64_t> refs;
        plist_array_iter iter = nullptr;
        plist_array_new_iter(node, &iter);
        plist_t item = nullptr;
        bool ok = true;
        for (plist_array_next_item(node, iter, &item); item && ok; plist_array_next_item(node, iter, &item)) {
            uint64_t child = 0;
            ok = flatten(item, &child);
            refs.push_back(child);
        }
        std::free(iter);
        appendMarker(objects_[self], 0xA0, refs.size());
        refs_[self] = std::move(refs);
        *index = self;
        return ok;
    }

    bool flattenDict(plist_t node, uint64_t* index)
    {
        const uint64_t self = reserveContainer();
        std::vector<uint64_t> keys;
        std::vector<uint64_t> values;
        plist_dict_iter iter = nullptr;
        plist_dict_new_iter(node, &iter);
        bool ok = true;
        for (;;) {
            char* key = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(node, iter, &key, &value);
            if (!value) {
                std::free(key);
                break;
            }
            keys.push_back(keyIndex(key));
            std::free(key);
            uint64_t child = 0;
            ok = ok && flatten(value, &child);
            values.push_back(child);
        }
        std::free(iter);
        appendMarker(objects_[self], 0xD0, keys.size());
        keys.insert(keys.end(), values.begin(), values.end());
        refs_[self] = std::move(keys);
        *index = self;
        return ok;
    }

    std::vector<std::string> objects_;
    std::vector<std::vector<uint64_t>> refs_;
    std::unordered_map<std::string, uint64_t> scalars_;
};

}  // namespace

QByteArray write(plist_t root)
{
    Writer writer;
    uint64_t top = 0;
    if (!root || !writer.flatten(root, &top))
        return QByteArray();
    return writer.finish(top);
}

}  // namespace quorly::BinaryPlist
