#include "platform/KeyedArchive.h"

#include "platform/KeyedArchiveReader.h"
#include "platform/KeyedArchiveWriter.h"

#include <unordered_map>
#include <utility>
#include <vector>

namespace quorly::KeyedArchive {

namespace {

uint64_t write(Writer& writer, const ArchiveValue& value)
{
    switch (value.type()) {
    case ArchiveValue::Type::String:
        return writer.string(value.string());
    case ArchiveValue::Type::Bool:
        return writer.boolean(value.boolean());
    case ArchiveValue::Type::Integer:
        return writer.integer(value.integer());
    case ArchiveValue::Type::Real:
        return writer.real(value.real());
    case ArchiveValue::Type::Array: {
        const uint64_t array = writer.openArray();
        for (const ArchiveValue& item : value.array())
            writer.add(write(writer, item));
        writer.close();
        return array;
    }
    case ArchiveValue::Type::Dictionary: {
        const uint64_t dictionary = writer.openDictionary();
        for (const auto& entry : value.dictionary())
            writer.add(writer.string(entry.first));
        for (const auto& entry : value.dictionary())
            writer.add(write(writer, entry.second));
        writer.close();
        return dictionary;
    }
    }
    return 0;
}

// Builds the object graph of an archive as it is read.
class TreeBuilder : public Visitor {
public:
    ArchiveValue root;

    bool text(const PlistTable::TextView& text) override { return place(ArchiveValue(text.toString())); }
    bool boolean(bool value) override { return place(ArchiveValue::fromBool(value)); }
    bool integer(qint64 value) override { return place(ArchiveValue::fromInteger(value)); }
    bool real(double value) override { return place(ArchiveValue::fromReal(value)); }

    bool beginArray(uint64_t) override
    {
        open_.push_back(Frame{ArchiveValue::fromArray({}), {}, {}, {}});
        return true;
    }
    bool beginDictionary(uint64_t) override
    {
        open_.push_back(Frame{ArchiveValue::fromDictionary({}), {}, {}, {}});
        return true;
    }
    bool endArray() override { return endContainer(); }
    bool endDictionary() override { return endContainer(); }

    bool key(const QString& key, uint32_t id) override
    {
        open_.back().key = key;
        open_.back().keyId = id;
        return true;
    }

private:
    struct Frame {
        ArchiveValue value;
        QString key;
        uint32_t keyId = 0;
        // Where each key of a dictionary sits, by key id.
        std::unordered_map<uint32_t, std::size_t> positions;
    };

    bool endContainer()
    {
        ArchiveValue done = std::move(open_.back().value);
        open_.pop_back();
        return place(std::move(done));
    }

    bool place(ArchiveValue value)
    {
        if (open_.empty()) {
            root = std::move(value);
            return true;
        }
        Frame& frame = open_.back();
        if (frame.value.type() == ArchiveValue::Type::Array) {
            frame.value.array().push_back(std::move(value));
            return true;
        }
        // As with the platform's dictionaries, a repeated key keeps its first place and
        // its last value.
        auto& pairs = frame.value.dictionary();
        const auto [at, fresh] = frame.positions.try_emplace(frame.keyId, pairs.size());
        if (fresh)
            pairs.emplace_back(std::move(frame.key), std::move(value));
        else
            pairs[at->second].second = std::move(value);
        return true;
    }

    std::vector<Frame> open_;
};

}  // namespace

QByteArray encode(const ArchiveValue& root)
{
    Writer writer;
    write(writer, root);
    return writer.finish();
}

ArchiveReadResult decode(const QByteArray& bytes)
{
    TreeBuilder builder;
    ArchiveReadResult result;
    if (read(bytes, builder, &result.error))
        result.root = std::move(builder.root);
    return result;
}

}  // namespace quorly::KeyedArchive
