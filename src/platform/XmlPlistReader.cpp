#include "platform/XmlPlistReader.h"

#include <plist/plist.h>

#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

namespace quorly {

namespace {

// Owns a libplist tree so that every early return frees it.
struct PlistDeleter {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

// libplist keeps every integer as 64 bits and only remembers through its XML form
// whether a negative-looking pattern was in truth a large unsigned value.
bool isBigUnsigned(plist_t node, uint64_t value)
{
    if (value <= static_cast<uint64_t>(std::numeric_limits<qint64>::max()))
        return false;
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(node, &xml, &length);
    const bool isNegative = xml && QByteArrayView(xml, length).contains("<integer>-");
    if (xml)
        plist_to_xml_free(xml);
    return !isNegative;
}

// An XML property list, parsed by libplist, as a table like a binary one's. Walked with
// a stack of its own, so that deep nesting costs memory, not the call stack.
PlistTable tableFromTree(plist_t root)
{
    using Object = PlistTable::Object;
    using Kind = PlistTable::Kind;
    PlistTable table;
    std::vector<std::pair<plist_t, uint64_t>> work;
    table.setTop(table.append({}));
    work.emplace_back(root, table.top());
    auto textObject = [&table](const char* text, uint64_t length) {
        Object o;
        o.kind = Kind::String;
        o.text = PlistTable::Text::Utf8;
        o.value = table.utf8().size();
        o.count = length;
        table.utf8().append(text, length);
        return o;
    };
    while (!work.empty()) {
        const auto [node, index] = work.back();
        work.pop_back();
        Object o;
        switch (plist_get_node_type(node)) {
        case PLIST_BOOLEAN: {
            uint8_t b = 0;
            plist_get_bool_val(node, &b);
            o.kind = Kind::Bool;
            o.value = b != 0;
            break;
        }
        case PLIST_UINT:
            o.kind = Kind::Integer;
            plist_get_uint_val(node, &o.value);
            o.bigUnsigned = isBigUnsigned(node, o.value);
            break;
        case PLIST_REAL: {
            double r = 0;
            plist_get_real_val(node, &r);
            o.kind = Kind::Real;
            std::memcpy(&o.value, &r, sizeof r);
            break;
        }
        case PLIST_KEY:
        case PLIST_STRING: {
            uint64_t length = 0;
            const char* text = plist_get_string_ptr(node, &length);
            o = textObject(text, length);
            break;
        }
        case PLIST_UID:
            o.kind = Kind::Uid;
            plist_get_uid_val(node, &o.value);
            break;
        case PLIST_DATA:
            o.kind = Kind::Data;
            break;
        case PLIST_DATE:
            o.kind = Kind::Date;
            break;
        case PLIST_ARRAY: {
            o.kind = Kind::Array;
            o.count = plist_array_get_size(node);
            o.value = table.members().size();
            plist_array_iter iter = nullptr;
            plist_array_new_iter(node, &iter);
            plist_t item = nullptr;
            for (plist_array_next_item(node, iter, &item); item; plist_array_next_item(node, iter, &item)) {
                const uint64_t child = table.append({});
                table.members().push_back(child);
                work.emplace_back(item, child);
            }
            std::free(iter);
            o.count = table.members().size() - o.value;
            break;
        }
        case PLIST_DICT: {
            o.kind = Kind::Dictionary;
            o.value = table.members().size();
            std::vector<uint64_t> values;
            plist_dict_iter iter = nullptr;
            plist_dict_new_iter(node, &iter);
            for (;;) {
                char* key = nullptr;
                plist_t value = nullptr;
                plist_dict_next_item(node, iter, &key, &value);
                if (!value) {
                    std::free(key);
                    break;
                }
                table.members().push_back(table.append(textObject(key, std::strlen(key))));
                std::free(key);
                const uint64_t child = table.append({});
                values.push_back(child);
                work.emplace_back(value, child);
            }
            std::free(iter);
            o.count = values.size();
            table.members().insert(table.members().end(), values.begin(), values.end());
            break;
        }
        default:
            break;
        }
        table.objectAt(index) = o;
    }
    return table;
}

}  // namespace

std::optional<PlistTable> readXmlPlist(QByteArrayView bytes)
{
    if (bytes.isEmpty() || static_cast<quint64>(bytes.size()) > std::numeric_limits<uint32_t>::max())
        return std::nullopt;
    plist_t parsed = nullptr;
    plist_from_xml(bytes.data(), static_cast<uint32_t>(bytes.size()), &parsed);
    PlistPtr tree(parsed);
    if (!parsed)
        return std::nullopt;
    return tableFromTree(parsed);
}

}  // namespace quorly
