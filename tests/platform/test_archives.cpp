#include "platform/ArchiveValue.h"
#include "platform/BinaryPlistReader.h"
#include "platform/KeyedArchive.h"
#include "platform/TypedStream.h"

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <cstring>
#include <limits>

using namespace quorly;

namespace {

QByteArray fixture(const QString& name)
{
    QFile file(QStringLiteral(QUORLY_TEST_DATA_DIR "/archives/") + name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    return file.readAll();
}

// A typed rendering with sorted keys: equal renderings mean equal values of equal kinds,
// which is stricter than operator== (that lets true equal 1).
QString describe(const ArchiveValue& v)
{
    switch (v.type()) {
    case ArchiveValue::Type::String:
        return QStringLiteral("s\"%1\"").arg(v.string());
    case ArchiveValue::Type::Bool:
        return v.boolean() ? QStringLiteral("true") : QStringLiteral("false");
    case ArchiveValue::Type::Integer:
        return QStringLiteral("i%1").arg(v.integer());
    case ArchiveValue::Type::Real:
        return QStringLiteral("r%1").arg(v.real(), 0, 'g', 17);
    case ArchiveValue::Type::Array: {
        QStringList items;
        for (const auto& item : v.array())
            items << describe(item);
        return QStringLiteral("[%1]").arg(items.join(u','));
    }
    case ArchiveValue::Type::Dictionary: {
        QStringList items;
        for (const auto& [key, value] : v.dictionary())
            items << QStringLiteral("%1:%2").arg(key, describe(value));
        items.sort();
        return QStringLiteral("{%1}").arg(items.join(u','));
    }
    }
    return {};
}

ArchiveValue fromJson(const QJsonValue& j)
{
    if (j.isBool())
        return ArchiveValue::fromBool(j.toBool());
    if (j.isDouble())
        return ArchiveValue::fromInteger(j.toInteger());
    if (j.isString())
        return ArchiveValue(j.toString());
    if (j.isArray()) {
        ArchiveValue::Array a;
        for (const auto& item : j.toArray())
            a.push_back(fromJson(item));
        return ArchiveValue::fromArray(std::move(a));
    }
    ArchiveValue::Dictionary d;
    const QJsonObject o = j.toObject();
    for (auto it = o.begin(); it != o.end(); ++it)
        d.emplace_back(it.key(), fromJson(it.value()));
    return ArchiveValue::fromDictionary(std::move(d));
}

ArchiveValue expected(const char* key)
{
    return fromJson(QJsonDocument::fromJson(fixture(QStringLiteral("expected.json"))).object().value(QLatin1String(key)));
}

ArchiveValue str(const char* s) { return ArchiveValue(QString::fromUtf8(s)); }

// A keyed archive assembled by hand around the given object table.
QByteArray handmade(plist_t objects, const char* archiver = "NSKeyedArchiver", uint64_t root = 1)
{
    plist_t top = plist_new_dict();
    plist_t refs = plist_new_dict();
    plist_dict_set_item(refs, "root", plist_new_uid(root));
    plist_dict_set_item(top, "$archiver", plist_new_string(archiver));
    plist_dict_set_item(top, "$version", plist_new_uint(100000));
    plist_dict_set_item(top, "$top", refs);
    plist_dict_set_item(top, "$objects", objects);
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(top, &bytes, &length);
    QByteArray out(bytes, static_cast<qsizetype>(length));
    plist_to_bin_free(bytes);
    plist_free(top);
    return out;
}

plist_t classDescription(const char* name)
{
    plist_t d = plist_new_dict();
    plist_dict_set_item(d, "$classname", plist_new_string(name));
    return d;
}

plist_t arrayObject(std::initializer_list<uint64_t> members, uint64_t cls)
{
    plist_t items = plist_new_array();
    for (uint64_t m : members)
        plist_array_append_item(items, plist_new_uid(m));
    plist_t d = plist_new_dict();
    plist_dict_set_item(d, "NS.objects", items);
    plist_dict_set_item(d, "$class", plist_new_uid(cls));
    return d;
}

plist_t table(std::initializer_list<plist_t> nodes)
{
    plist_t objects = plist_new_array();
    plist_array_append_item(objects, plist_new_string("$null"));
    for (plist_t n : nodes)
        plist_array_append_item(objects, n);
    return objects;
}

}  // namespace

TEST(ArchiveValue, NumbersCompareByValueAcrossKindsAndDictionariesIgnoreKeyOrder)
{
    EXPECT_EQ(ArchiveValue::fromBool(true), ArchiveValue::fromInteger(1));
    EXPECT_EQ(ArchiveValue::fromInteger(1), ArchiveValue::fromReal(1.0));
    EXPECT_EQ(ArchiveValue::fromBool(false), ArchiveValue::fromReal(0.0));
    EXPECT_FALSE(ArchiveValue::fromInteger(1) == ArchiveValue::fromReal(1.5));
    // 2^53 + 1 has no exact double; rounding it would make it equal 2^53.
    EXPECT_FALSE(ArchiveValue::fromInteger((qint64(1) << 53) + 1) == ArchiveValue::fromReal(9007199254740992.0));
    EXPECT_FALSE(ArchiveValue::fromInteger(std::numeric_limits<qint64>::max()) == ArchiveValue::fromReal(9.3e18));
    EXPECT_FALSE(str("1") == ArchiveValue::fromInteger(1));

    const auto ab = ArchiveValue::fromDictionary({{"a", str("x")}, {"b", ArchiveValue::fromInteger(2)}});
    const auto ba = ArchiveValue::fromDictionary({{"b", ArchiveValue::fromReal(2.0)}, {"a", str("x")}});
    const auto ac = ArchiveValue::fromDictionary({{"a", str("x")}, {"c", ArchiveValue::fromInteger(2)}});
    EXPECT_EQ(ab, ba);
    EXPECT_FALSE(ab == ac);
    EXPECT_FALSE(ArchiveValue::fromArray({str("a"), str("b")}) == ArchiveValue::fromArray({str("b"), str("a")}));
}

TEST(KeyedArchive, ReadsIndependentlyWrittenBinaryAndXmlArchives)
{
    const ArchiveValue entries = expected("entries");
    for (const char* name : {"entries.keyed.bplist", "entries.keyed.xml"}) {
        const ArchiveReadResult r = KeyedArchive::decode(fixture(QString::fromLatin1(name)));
        ASSERT_TRUE(r) << name << ": " << r.error.toStdString();
        EXPECT_EQ(describe(*r.root), describe(entries)) << name;
    }
    const ArchiveReadResult recent = KeyedArchive::decode(fixture(QStringLiteral("recent.keyed.bplist")));
    ASSERT_TRUE(recent);
    EXPECT_EQ(describe(*recent.root), describe(expected("recentWebsites")));
}

// Each fixture compared with what an independent reader (node-typedstream) made of the
// same bytes: tests/fixtures/check-typedstream-fixtures.js. "numbered" has numbers that
// refer to their type by label, more objects than one-byte labels reach, and lengths and
// unsigned values that take a single byte above 127.
TEST(TypedStream, ReadsWhatAnIndependentReaderReads)
{
    for (const char* name : {"entries", "recent", "numbered"}) {
        const ArchiveReadResult r = TypedStream::decode(fixture(QLatin1String(name) + ".typedstream"));
        ASSERT_TRUE(r) << name << ": " << r.error.toStdString();
        const QJsonDocument independent =
            QJsonDocument::fromJson(fixture(QLatin1String(name) + ".node-typedstream.json"));
        ASSERT_FALSE(independent.isNull()) << name;
        EXPECT_EQ(describe(*r.root), describe(fromJson(independent.isArray() ? QJsonValue(independent.array())
                                                                             : QJsonValue(independent.object()))))
            << name;
    }
    EXPECT_EQ(describe(*TypedStream::decode(fixture(QStringLiteral("entries.typedstream"))).root),
              describe(expected("entries")));
}

TEST(Archives, PlaintextThatIsNoArchiveIsRefusedByBothReaders)
{
    const QByteArray damaged = fixture(QStringLiteral("damaged.bin"));
    for (const ArchiveReadResult& r : {KeyedArchive::decode(damaged), TypedStream::decode(damaged),
                                        KeyedArchive::decode({}), TypedStream::decode({})}) {
        EXPECT_FALSE(r);
        EXPECT_FALSE(r.error.isEmpty());
    }
}

TEST(KeyedArchive, EveryValueSurvivesARoundTripWithItsKind)
{
    const ArchiveValue graph = ArchiveValue::fromArray({
        ArchiveValue::fromDictionary({
            {"Path", str("Zürich ☕ \U0001F511")},
            {"", str("")},
            {"someKeyNoVersionKnows", ArchiveValue::fromArray({})},
            {"nested", ArchiveValue::fromDictionary({{"deeper", ArchiveValue::fromArray({str("x")})}})},
            {"max", ArchiveValue::fromInteger(std::numeric_limits<qint64>::max())},
            {"min", ArchiveValue::fromInteger(std::numeric_limits<qint64>::min())},
            {"negative", ArchiveValue::fromInteger(-1)},
            {"big", ArchiveValue::fromInteger(5000000000)},
            {"tenth", ArchiveValue::fromReal(0.1)},
            {"huge", ArchiveValue::fromReal(-1e300)},
            {"off", ArchiveValue::fromBool(false)},
        }),
        // Equal by value but of three kinds: uniquing must not merge them.
        ArchiveValue::fromBool(true), ArchiveValue::fromInteger(1), ArchiveValue::fromReal(1.0),
        ArchiveValue::fromDictionary({}),
    });
    const ArchiveReadResult r = KeyedArchive::decode(KeyedArchive::encode(graph));
    ASSERT_TRUE(r) << r.error.toStdString();
    EXPECT_EQ(describe(*r.root), describe(graph));

    const ArchiveReadResult single = KeyedArchive::decode(KeyedArchive::encode(str("alone")));
    ASSERT_TRUE(single);
    EXPECT_EQ(describe(*single.root), QStringLiteral("s\"alone\""));
}

TEST(KeyedArchive, WritesTheKeyedArchiverObjectGraph)
{
    const ArchiveValue graph = ArchiveValue::fromArray({
        ArchiveValue::fromDictionary({{"Path", str("a")}, {"Notes", str("")}, {"n", ArchiveValue::fromInteger(7)}}),
        ArchiveValue::fromDictionary({{"Path", str("b")}, {"Notes", str("")}, {"n", ArchiveValue::fromInteger(7)}}),
        ArchiveValue::fromArray({str("a")}),
    });
    const QByteArray bytes = KeyedArchive::encode(graph);
    ASSERT_TRUE(bytes.startsWith("bplist00"));
    plist_t top = nullptr;
    plist_from_bin(bytes.constData(), static_cast<uint32_t>(bytes.size()), &top);
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(plist_string_val_compare(plist_dict_get_item(top, "$archiver"), "NSKeyedArchiver"), 0);
    EXPECT_EQ(plist_uint_val_compare(plist_dict_get_item(top, "$version"), 100000), 0);
    EXPECT_EQ(plist_uid_val_compare(plist_dict_get_item(plist_dict_get_item(top, "$top"), "root"), 1), 0);
    plist_t objects = plist_dict_get_item(top, "$objects");
    EXPECT_EQ(plist_string_val_compare(plist_array_get_item(objects, 0), "$null"), 0);

    int strings = 0, sevens = 0, emptyNotes = 0, classes = 0;
    for (uint32_t i = 0; i < plist_array_get_size(objects); ++i) {
        plist_t o = plist_array_get_item(objects, i);
        if (plist_get_node_type(o) == PLIST_STRING) {
            strings += plist_string_val_compare(o, "a") == 0 || plist_string_val_compare(o, "Path") == 0;
            emptyNotes += plist_string_val_compare(o, "") == 0;
        }
        sevens += plist_get_node_type(o) == PLIST_UINT;
        if (plist_get_node_type(o) == PLIST_DICT && plist_dict_get_item(o, "$classname"))
            ++classes;
    }
    EXPECT_EQ(strings, 2);  // "a" and "Path" once each, though used three and two times
    EXPECT_EQ(emptyNotes, 1);
    EXPECT_EQ(sevens, 1);
    EXPECT_EQ(classes, 2);

    uint64_t cls = 0;
    plist_get_uid_val(plist_dict_get_item(plist_array_get_item(objects, 1), "$class"), &cls);
    plist_t description = plist_array_get_item(objects, static_cast<uint32_t>(cls));
    EXPECT_EQ(plist_string_val_compare(plist_dict_get_item(description, "$classname"), "NSMutableArray"), 0);
    plist_t chain = plist_dict_get_item(description, "$classes");
    ASSERT_EQ(plist_array_get_size(chain), 3u);
    EXPECT_EQ(plist_string_val_compare(plist_array_get_item(chain, 1), "NSArray"), 0);
    EXPECT_EQ(plist_string_val_compare(plist_array_get_item(chain, 2), "NSObject"), 0);
    plist_free(top);
}

TEST(KeyedArchive, ReadsLargeUnsignedAndNegativeIntegersFromXml)
{
    const QByteArray xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>$archiver</key><string>NSKeyedArchiver</string>
<key>$version</key><integer>100000</integer>
<key>$top</key><dict><key>root</key><dict><key>CF$UID</key><integer>1</integer></dict></dict>
<key>$objects</key><array><string>$null</string>
<dict><key>NS.objects</key><array><dict><key>CF$UID</key><integer>3</integer></dict>
<dict><key>CF$UID</key><integer>4</integer></dict><dict><key>CF$UID</key><integer>5</integer></dict></array>
<key>$class</key><dict><key>CF$UID</key><integer>2</integer></dict></dict>
<dict><key>$classname</key><string>NSArray</string></dict>
<integer>18446744073709551615</integer><integer>-1</integer>
<dict><key>NS.string</key><string>mutable text</string><key>$class</key><dict><key>CF$UID</key><integer>6</integer></dict></dict>
<dict><key>$classname</key><string>NSMutableString</string></dict>
</array></dict></plist>)";
    const ArchiveReadResult r = KeyedArchive::decode(xml);
    ASSERT_TRUE(r) << r.error.toStdString();
    EXPECT_EQ(describe(*r.root), QStringLiteral("[r1.8446744073709552e+19,i-1,s\"mutable text\"]"));
}

TEST(KeyedArchive, HostileObjectGraphsGiveErrors)
{
    struct Case {
        const char* what;
        QByteArray bytes;
    };
    plist_t nonStringKey = plist_new_dict();
    plist_t keys = plist_new_array();
    plist_array_append_item(keys, plist_new_uid(3));
    plist_t values = plist_new_array();
    plist_array_append_item(values, plist_new_uid(3));
    plist_dict_set_item(nonStringKey, "NS.keys", keys);
    plist_dict_set_item(nonStringKey, "NS.objects", values);
    plist_dict_set_item(nonStringKey, "$class", plist_new_uid(2));

    plist_t deep = table({classDescription("NSArray")});
    for (uint64_t i = 0; i < 2000; ++i)
        plist_array_append_item(deep, arrayObject({i + 3}, 1));
    plist_array_append_item(deep, plist_new_string("bottom"));

    // Each array holds the previous one twice: 2^60 leaves from a few hundred bytes.
    plist_t doubling = table({plist_new_string("leaf"), classDescription("NSArray")});
    for (uint64_t i = 0; i < 60; ++i)
        plist_array_append_item(doubling, arrayObject({i + 1, i + 1}, 2));

    const std::vector<Case> cases = {
        {"uid out of range", handmade(table({arrayObject({99}, 2), classDescription("NSArray")}))},
        {"class out of range", handmade(table({arrayObject({}, 42)}))},
        {"cycle", handmade(table({arrayObject({1}, 2), classDescription("NSArray")}))},
        {"deep nesting", handmade(deep, "NSKeyedArchiver", 2)},
        {"doubling", handmade(doubling, "NSKeyedArchiver", 62)},
        {"date", handmade(table({arrayObject({3}, 2), classDescription("NSArray"), plist_new_date(0, 0)}))},
        {"unknown class", handmade(table({arrayObject({}, 2), classDescription("NSURL")}))},
        {"null in array", handmade(table({arrayObject({0}, 2), classDescription("NSArray")}))},
        {"null root", handmade(table({}), "NSKeyedArchiver", 0)},
        {"non-string key", handmade(table({nonStringKey, classDescription("NSDictionary"), plist_new_uint(5)}))},
        {"wrong archiver", handmade(table({plist_new_string("x")}), "NSArchiver")},
        {"not a plist", QByteArray("bplist00 and then rubbish")},
        {"xml without top", QByteArray("<plist><dict><key>$archiver</key><string>NSKeyedArchiver</string>"
                                       "<key>$objects</key><array/></dict></plist>")},
    };
    for (const Case& c : cases) {
        const ArchiveReadResult r = KeyedArchive::decode(c.bytes);
        EXPECT_FALSE(r) << c.what;
        EXPECT_FALSE(r.error.isEmpty()) << c.what;
    }
}

TEST(TypedStream, HostileStreamsGiveErrors)
{
    // Every prefix of a real archive ends somewhere inside it.
    const QByteArray whole = fixture(QStringLiteral("entries.typedstream"));
    for (qsizetype n = 0; n < whole.size(); ++n)
        ASSERT_FALSE(TypedStream::decode(whole.left(n))) << n;

    const QByteArray header = QByteArray("\x04\x0bstreamtyped\x81\xe8\x03", 16);
    const QByteArray arrayClass = QByteArray("\x84\x84\x84\x07NSArray\x00\x85", 13);
    const QByteArray numberClass = QByteArray("\x84\x84\x84\x08NSNumber\x00\x85", 14);
    const QByteArray deep = [&] {
        QByteArray b = header + "\x84\x01@";
        b += "\x84" + arrayClass + "\x84\x01i\x01\x92";
        for (int i = 0; i < 400; ++i)
            b += "\x84\x93\x95\x01\x92";  // new array of the known class, "i" count 1, "@"
        return b;
    }();
    const struct {
        const char* what;
        QByteArray bytes;
    } cases[] = {
        {"wrong version", QByteArray("\x05\x0bstreamtyped\x81\xe8\x03", 16)},
        {"wrong signature", QByteArray("\x04\x0bstreamtypex\x81\xe8\x03", 16)},
        {"undefined type label", header + "\x99"},
        {"undefined object label", header + "\x84\x01@\xa0"},
        {"array containing itself", header + "\x84\x01@\x84" + arrayClass + "\x84\x01i\x01\x92\x92\x86"},
        {"class where an object belongs", header + "\x84\x01@\x84" + arrayClass + "\x84\x01i\x01\x92\x93\x86"},
        {"count beyond the data", header + "\x84\x01@\x84" + arrayClass + "\x84\x01i\x82\xff\xff\xff\x7f\x92"},
        {"unknown class", header + "\x84\x01@\x84\x84\x84\x06NSDate\x00\x85\x86"},
        {"nil root", header + "\x84\x01@\x85"},
        {"number whose type is an object", header + "\x84\x01@\x84" + numberClass + "\x84\x01*\x92"},
        {"number without a type", header + "\x84\x01@\x84" + numberClass + "\x84\x01*\x85"},
        {"marker as a length", header + "\x84\x01@\x84\x84\x84\x08NSString\x01\x85\x84\x01+\x8a"},
        {"deep nesting", deep},
    };
    for (const auto& c : cases) {
        const ArchiveReadResult r = TypedStream::decode(c.bytes);
        EXPECT_FALSE(r) << c.what;
        EXPECT_FALSE(r.error.isEmpty()) << c.what;
    }
}

namespace {

// A binary property list laid out by hand: the objects in order, one-byte offsets, and
// a trailer whose fields the caller may then spoil.
QByteArray bplist(const std::vector<QByteArray>& objects, int refSize = 1, uint64_t top = 0)
{
    QByteArray out("bplist00");
    QByteArray offsets;
    for (const QByteArray& o : objects) {
        offsets.append(char(out.size()));
        out += o;
    }
    const auto tableOffset = uint64_t(out.size());
    out += offsets;
    out += QByteArray(6, '\0');
    out.append(char(1)).append(char(refSize));
    for (uint64_t field : {uint64_t(objects.size()), top, tableOffset})
        for (int i = 7; i >= 0; --i)
            out.append(char((field >> (8 * i)) & 0xff));
    return out;
}

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}

void setTrailerField(QByteArray& list, int at, uint64_t value, int width)
{
    for (int i = 0; i < width; ++i)
        list[list.size() - 32 + at + i] = char((value >> (8 * (width - 1 - i))) & 0xff);
}

}  // namespace

TEST(BinaryPlist, ReadsEveryKindOfObjectInItsStoredWidths)
{
    // [ "ab", "é" in UTF-16, 2^64-1 in sixteen bytes, -2 in eight, 1.5f, true, UID 0x0102,
    //   {"k": 5} ] with two-byte references.
    const QByteArray list =
        bplist({bytes({0xA8, 0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7, 0, 8}), bytes({0x52, 'a', 'b'}),
                bytes({0x61, 0x00, 0xE9}),
                bytes({0x14, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}),
                bytes({0x13, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE}), bytes({0x22, 0x3F, 0xC0, 0, 0}),
                bytes({0x09}), bytes({0x81, 0x01, 0x02}), bytes({0xD1, 0, 9, 0, 10}), bytes({0x51, 'k'}),
                bytes({0x10, 5})},
               2);
    const auto table = PlistTable::readBinary(list);
    ASSERT_TRUE(table);
    const auto top = table->at(table->top());
    ASSERT_EQ(top.kind, PlistTable::Kind::Array);
    ASSERT_EQ(top.count, 8u);
    auto item = [&](int i) { return table->at(table->member(top, uint64_t(i))); };
    EXPECT_EQ(table->string(item(0)), QStringLiteral("ab"));
    EXPECT_EQ(table->string(item(1)), QStringLiteral("é"));
    EXPECT_TRUE(item(2).bigUnsigned);
    EXPECT_EQ(item(2).value, UINT64_MAX);
    EXPECT_FALSE(item(3).bigUnsigned);
    EXPECT_EQ(qint64(item(3).value), -2);
    double real = 0;
    const uint64_t realBits = item(4).value;
    std::memcpy(&real, &realBits, sizeof real);
    EXPECT_EQ(real, 1.5);
    EXPECT_EQ(item(5).kind, PlistTable::Kind::Bool);
    EXPECT_EQ(item(6).value, 0x0102u);
    const auto five = table->find(item(7), "k");
    ASSERT_TRUE(five);
    EXPECT_EQ(table->at(*five).value, 5u);
}

TEST(BinaryPlist, MalformedListsAreRefused)
{
    const QByteArray good = bplist({bytes({0xA1, 1}), bytes({0x51, 'x'})});
    ASSERT_TRUE(PlistTable::readBinary(good));
    auto spoilt = [&](int at, uint64_t value, int width) {
        QByteArray b = good;
        setTrailerField(b, at, value, width);
        return b;
    };
    QByteArray offsetOutside = good;
    offsetOutside[offsetOutside.size() - 32 - 1] = char(0x7F);
    QByteArray offsetIntoHeader = good;
    offsetIntoHeader[offsetIntoHeader.size() - 32 - 2] = char(3);

    const struct {
        const char* what;
        QByteArray bytes;
    } cases[] = {
        {"offset past the objects", offsetOutside},
        {"offset into the header", offsetIntoHeader},
        {"reference size 0", spoilt(7, 0, 1)},
        {"reference size 9", spoilt(7, 9, 1)},
        {"offset size 0", spoilt(6, 0, 1)},
        {"object count 0", spoilt(8, 0, 8)},
        {"object count overflowing the offset table", spoilt(8, uint64_t(1) << 62, 8)},
        {"object count past the data", spoilt(8, 3, 8)},
        {"top object outside the table", spoilt(16, 2, 8)},
        {"offset table past the trailer", spoilt(24, UINT64_MAX - 4, 8)},
        {"reference to no object", bplist({bytes({0xA1, 7})})},
        {"array containing itself", bplist({bytes({0xA1, 0})})},
        {"dictionary inside its own value", bplist({bytes({0xD1, 1, 2}), bytes({0x51, 'k'}), bytes({0xA1, 0})})},
        {"key that is not text", bplist({bytes({0xD1, 1, 1}), bytes({0x10, 1})})},
        {"count beyond the data", bplist({bytes({0x5F, 0x11, 0xFF, 0xFF, 'x'})})},
        {"count with a real for its size", bplist({bytes({0x5F, 0x23, 0, 0, 0, 0, 0, 0, 0, 0})})},
        {"UID of 9 bytes", bplist({bytes({0x88, 1, 2, 3, 4, 5, 6, 7, 8, 9})})},
        {"unknown marker", bplist({bytes({0x70})})},
        // A hundred offsets that all name one array of a hundred members: the members
        // outnumber the bytes, the sign of a list made to multiply its reader's work.
        {"containers laid over one another", [] {
             std::vector<QByteArray> objects(102);
             objects[0] = bytes({0xAF, 0x10, 100});
             objects[1] = bytes({0xAF, 0x10, 100});
             for (int i = 0; i < 100; ++i) {
                 objects[0].append(char(i + 1));
                 objects[1].append(char(101));
             }
             objects[101] = bytes({0x51, 'x'});
             QByteArray b = bplist(objects);
             for (int i = 2; i <= 100; ++i)
                 b[b.size() - 32 - 102 + i] = char(8 + 103);
             return b;
         }()},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(PlistTable::readBinary(c.bytes)) << c.what;
        EXPECT_EQ(KeyedArchive::decode(c.bytes).error, QStringLiteral("The data is not a property list.")) << c.what;
    }
    // Every shortening of a real archive loses its trailer.
    const QByteArray archive = KeyedArchive::encode(ArchiveValue::fromArray({str("a"), ArchiveValue::fromInteger(2)}));
    for (qsizetype n = 0; n < archive.size(); ++n)
        ASSERT_FALSE(KeyedArchive::decode(archive.left(n))) << n;
}
