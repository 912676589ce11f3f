// Keyed archives on libplist. Every node is type-checked before its value is taken: libplist's
// getters leave their output untouched on a node of another type. $objects is indexed once through
// the array iterator, because looking items up by index walks the list from its start each time.
//
// libplist builds a tree: an object that several containers refer to is built once for each, and
// every level of nesting checks the whole path above it. A small file of shared arrays thus
// becomes millions of nodes, and deep nesting takes seconds, so the object graph is measured on
// the raw bytes first and such a file never reaches the library.
//
// libplist also copies every data object it reads, and a catalogue is almost all data: 16 MiB of
// images would be decrypted once and then copied twice more into fresh memory, whose first touch
// costs more than the decryption. So when the archive is handed over as a buffer of its own, its
// data elements become slices of that buffer, and before libplist reads it their markers are
// rewritten to say "empty data": the library builds the same tree with nothing to copy. This is
// done only when the bytes show without doubt which object each element is (objects that lie
// apart, unique keys); otherwise the archive is read the ordinary way.
#include "payload/keyedarchive.h"

#include "payload/bytereader.h"

#include <plist/plist.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

namespace KeyedArchive {
namespace {

constexpr char kBinaryMagic[] = "bplist00";
constexpr char kArchiverName[] = "NSKeyedArchiver";
constexpr uint64_t kArchiveVersion = 100000;

// Far deeper than any archive needs: the archiver keeps its objects in one flat table.
constexpr int kMaxDepth = 64;
// What libplist may build beyond what the file holds: twice a node for each reference the file
// can hold, and its data and text sixteen times over (a catalogue may hold one image twice).
constexpr uint64_t kNodesPerReference = 2;
constexpr uint64_t kPayloadFactor = 16;
constexpr uint64_t kPayloadSlack = 64 * 1024;
constexpr size_t kTrailerSize = 32;
constexpr size_t kMagicSize = sizeof(kBinaryMagic) - 1;
// A data object's marker with a length of zero.
constexpr uint8_t kEmptyDataMarker = 0x40;

struct PlistDeleter
{
    void operator()(void *node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

bool fail(QString *reason, const QString &text)
{
    if (reason)
        *reason = text;
    return false;
}

bool isType(plist_t node, plist_type type)
{
    return node && plist_get_node_type(node) == type;
}

std::optional<QString> stringValue(plist_t node)
{
    if (!isType(node, PLIST_STRING))
        return std::nullopt;
    uint64_t length = 0;
    const char *text = plist_get_string_ptr(node, &length);
    return QString::fromUtf8(text, static_cast<qsizetype>(length));
}

const char *typeName(plist_t node)
{
    switch (node ? plist_get_node_type(node) : PLIST_NONE) {
    case PLIST_BOOLEAN: return "a Boolean";
    case PLIST_UINT: return "a number";
    case PLIST_REAL: return "a real number";
    case PLIST_STRING: return "a string";
    case PLIST_ARRAY: return "an array";
    case PLIST_DICT: return "a dictionary";
    case PLIST_DATE: return "a date";
    case PLIST_DATA: return "data";
    case PLIST_KEY: return "a key";
    case PLIST_UID: return "a reference";
    default: return "nothing";
    }
}

// The items of an array in one pass of its iterator.
std::vector<plist_t> indexArray(plist_t array)
{
    std::vector<plist_t> nodes;
    nodes.reserve(plist_array_get_size(array));
    plist_array_iter iterator = nullptr;
    plist_array_new_iter(array, &iterator);
    if (!iterator)
        return nodes;
    for (;;) {
        plist_t item = nullptr;
        plist_array_next_item(array, iterator, &item);
        if (!item)
            break;
        nodes.push_back(item);
    }
    std::free(iterator);
    return nodes;
}

// The archive's object table, resolved by UID.
class Objects
{
public:
    explicit Objects(plist_t array) : mNodes(indexArray(array)) {}

    // The object a UID node refers to; null when the node is no UID or refers outside the table.
    plist_t resolve(plist_t uid, uint64_t *index = nullptr) const
    {
        if (!isType(uid, PLIST_UID))
            return nullptr;
        uint64_t value = UINT64_MAX;
        plist_get_uid_val(uid, &value);
        if (value >= mNodes.size())
            return nullptr;
        if (index)
            *index = value;
        return mNodes[value];
    }

    // A dictionary member that may be stored inline or as a reference.
    plist_t member(plist_t dict, const char *key) const
    {
        plist_t node = plist_dict_get_item(dict, key);
        return isType(node, PLIST_UID) ? resolve(node) : node;
    }

    // The class name of an archived object (a dictionary with a $class reference).
    std::optional<QString> className(plist_t object) const
    {
        if (!isType(object, PLIST_DICT))
            return std::nullopt;
        plist_t classInfo = resolve(plist_dict_get_item(object, "$class"));
        if (!isType(classInfo, PLIST_DICT))
            return std::nullopt;
        return stringValue(plist_dict_get_item(classInfo, "$classname"));
    }

private:
    std::vector<plist_t> mNodes;
};

QByteArray dataValue(plist_t node)
{
    uint64_t length = 0;
    const char *bytes = plist_get_data_ptr(node, &length);
    return QByteArray(bytes, static_cast<qsizetype>(length));
}

std::optional<ArchiveValue> textElement(plist_t node, qsizetype index, QString *reason)
{
    QString text = *stringValue(node);
    if (text.contains(QChar(0))) {
        fail(reason, QStringLiteral("element %1 is a string holding a NUL character").arg(index));
        return std::nullopt;
    }
    return text;
}

// Where the data elements lie in an archive buffer, so that they can be handed out as slices of it.
class DataSlices
{
public:
    // table[k]: the object number of $objects[k]; inlineData[k]: the object number of the data
    // that the dictionary $objects[k] holds inline under NS.data.
    DataSlices(QByteArray &buffer, std::vector<uint64_t> table, std::vector<std::optional<uint64_t>> inlineData,
               std::vector<std::pair<size_t, size_t>> payloads)
        : mBuffer(buffer)
        , mTable(std::move(table))
        , mInlineData(std::move(inlineData))
        , mPayloads(std::move(payloads))
    {
    }

    // The element $objects[k] when it is data (node, as libplist read it, must be its emptied form).
    std::optional<QByteArray> entry(uint64_t k, plist_t node) const
    {
        return k < mTable.size() ? slice(mTable[size_t(k)], node) : std::nullopt;
    }
    // The data the dictionary $objects[k] holds inline.
    std::optional<QByteArray> inlineOf(uint64_t k, plist_t node) const
    {
        return k < mInlineData.size() && mInlineData[size_t(k)] ? slice(*mInlineData[size_t(k)], node) : std::nullopt;
    }

private:
    std::optional<QByteArray> slice(uint64_t object, plist_t node) const
    {
        const auto &[offset, length] = mPayloads[size_t(object)];
        uint64_t held = 0;
        plist_get_data_ptr(node, &held);
        if (length == 0 || held != 0)
            return std::nullopt; // not emptied: libplist's copy is the value
        // The piece shares the buffer's storage, which lives while any piece of it does; writing
        // to a piece copies it first, as for any shared QByteArray.
        QByteArray::DataPointer piece = mBuffer.data_ptr();
        piece.setBegin(piece.data() + offset);
        piece.size = qsizetype(length);
        return QByteArray(std::move(piece));
    }

    QByteArray &mBuffer;
    std::vector<uint64_t> mTable;
    std::vector<std::optional<uint64_t>> mInlineData;
    std::vector<std::pair<size_t, size_t>> mPayloads; // by object number: offset and length of data
};

QByteArray dataOf(plist_t node, std::optional<QByteArray> slice)
{
    return slice ? std::move(*slice) : dataValue(node);
}

std::optional<ArchiveValue> element(const Objects &objects, const DataSlices *slices, plist_t reference, qsizetype index,
                                    QString *reason)
{
    uint64_t uid = 0;
    plist_t object = objects.resolve(reference, &uid);
    if (!object) {
        fail(reason, QStringLiteral("element %1 is not a valid reference").arg(index));
        return std::nullopt;
    }
    if (uid == 0) {
        // Entry 0 of the table is the archiver's "$null": a nil element.
        fail(reason, QStringLiteral("element %1 is nil").arg(index));
        return std::nullopt;
    }
    switch (plist_get_node_type(object)) {
    case PLIST_DATA:
        return dataOf(object, slices ? slices->entry(uid, object) : std::nullopt);
    case PLIST_STRING:
        return textElement(object, index, reason);
    case PLIST_UINT: {
        uint64_t number = 0;
        plist_get_uint_val(object, &number);
        return quint64(number);
    }
    case PLIST_DICT: {
        const std::optional<QString> name = objects.className(object);
        if (name == QLatin1String("NSMutableData") || name == QLatin1String("NSData")) {
            plist_t item = plist_dict_get_item(object, "NS.data");
            uint64_t dataUid = 0;
            const bool byReference = isType(item, PLIST_UID);
            plist_t bytes = byReference ? objects.resolve(item, &dataUid) : item;
            if (isType(bytes, PLIST_DATA)) {
                if (!slices)
                    return dataValue(bytes);
                return dataOf(bytes, byReference ? slices->entry(dataUid, bytes) : slices->inlineOf(uid, bytes));
            }
        } else if (name == QLatin1String("NSMutableString") || name == QLatin1String("NSString")) {
            plist_t text = objects.member(object, "NS.string");
            if (isType(text, PLIST_STRING))
                return textElement(text, index, reason);
        }
        fail(reason, QStringLiteral("element %1 is an object of class %2 that is not data, a string or a number")
                         .arg(index)
                         .arg(name.value_or(QStringLiteral("(none)"))));
        return std::nullopt;
    }
    default:
        fail(reason, QStringLiteral("element %1 is %2").arg(index).arg(QLatin1String(typeName(object))));
        return std::nullopt;
    }
}

template <typename T, typename List>
std::optional<List> elementsOf(QList<ArchiveValue> values, const char *wanted, QString *reason)
{
    List out;
    out.reserve(values.size());
    for (qsizetype i = 0; i < values.size(); ++i) {
        T *value = std::get_if<T>(&values[i]);
        if (!value) {
            fail(reason, QStringLiteral("element %1 is not %2").arg(i).arg(QLatin1String(wanted)));
            return std::nullopt;
        }
        out.append(std::move(*value));
    }
    return out;
}

plist_t newValueNode(const ArchiveValue &value)
{
    if (const auto *bytes = std::get_if<QByteArray>(&value))
        return plist_new_data(bytes->constData(), static_cast<uint64_t>(bytes->size()));
    if (const auto *text = std::get_if<QString>(&value))
        return plist_new_string(text->toUtf8().constData());
    return plist_new_uint(std::get<quint64>(value));
}

plist_t newStringArray(std::initializer_list<const char *> strings)
{
    plist_t array = plist_new_array();
    for (const char *text : strings)
        plist_array_append_item(array, plist_new_string(text));
    return array;
}

// The object graph of a binary property list, measured before libplist builds it: the nesting
// depth, cycles, and how many nodes and bytes of data and text the tree it would build holds;
// and, for the objects it reaches, where each lies.
class GraphCheck
{
public:
    explicit GraphCheck(std::span<const uint8_t> bytes)
        : mBytes(bytes)
    {
    }

    bool run(QString *reason)
    {
        mReason = reason;
        const auto trailer = mBytes.bytes(mBytes.size() - std::min(mBytes.size(), kTrailerSize), kTrailerSize);
        if (!trailer)
            return refuse(QStringLiteral("not a binary property list: no trailer"));
        const ByteReader tail(*trailer);
        mOffsetSize = *tail.u8(6);
        mRefSize = *tail.u8(7);
        const uint64_t count = *bigEndian(tail, 8, 8);
        const uint64_t top = *bigEndian(tail, 16, 8);
        const uint64_t table = *bigEndian(tail, 24, 8);
        const size_t body = mBytes.size() - kTrailerSize;
        if (mOffsetSize < 1 || mOffsetSize > 8 || mRefSize < 1 || mRefSize > 8 || count == 0 || top >= count
            || table > body || count > (body - table) / mOffsetSize)
            return refuse(QStringLiteral("not a binary property list: its trailer is malformed"));
        mTable = size_t(table);
        mObjectsEnd = mTable;
        mState.assign(size_t(count), {});
        mMaxNodes = kNodesPerReference * (body / mRefSize) + 1;
        mMaxPayload = kPayloadFactor * mBytes.size() + kPayloadSlack;
        mTop = top;
        return visit(top, 1);
    }

    // After run(): the data elements of the archive as slices of buffer (whose bytes these are),
    // their markers rewritten to empty data; nothing, and the bytes untouched, when there is no
    // data or an element's object is in any doubt.
    std::optional<DataSlices> sliceData(QByteArray &buffer) const
    {
        if (!mDataSeen || !mLayoutKnown || !objectsApart())
            return std::nullopt;
        bool ambiguous = false;
        const std::optional<uint64_t> tableObject = dictValue(mTop, "$objects", ambiguous);
        const std::optional<std::vector<uint64_t>> table = tableObject ? arrayItems(*tableObject) : std::nullopt;
        if (ambiguous || !table)
            return std::nullopt;
        std::vector<std::optional<uint64_t>> inlineData(table->size());
        std::vector<uint64_t> sliced;
        for (size_t k = 0; k < table->size(); ++k) {
            const uint64_t object = (*table)[k];
            if (mState[size_t(object)].dataLength) {
                sliced.push_back(object);
            } else if (const auto held = dictValue(object, "NS.data", ambiguous);
                       held && mState[size_t(*held)].dataLength) {
                inlineData[k] = held;
                sliced.push_back(*held);
            }
            if (ambiguous)
                return std::nullopt;
        }
        std::vector<std::pair<size_t, size_t>> payloads(mState.size());
        char *bytes = buffer.data();
        for (const uint64_t object : sliced) {
            const Object &data = mState[size_t(object)];
            payloads[size_t(object)] = {data.dataOffset, data.dataLength};
            bytes[data.start] = char(kEmptyDataMarker);
        }
        return DataSlices(buffer, *table, std::move(inlineData), std::move(payloads));
    }

private:
    enum class Mark : uint8_t { Unseen, OnPath, Done };
    struct Object
    {
        Mark mark = Mark::Unseen;
        uint64_t nodes = 0;   // nodes of the tree built from this object
        uint64_t payload = 0; // bytes of data and text in that tree
        size_t start = 0;     // the object's bytes, marker first
        size_t end = 0;
        size_t dataOffset = 0; // a data object's bytes, when it holds any
        size_t dataLength = 0;
    };

    static std::optional<uint64_t> bigEndian(const ByteReader &reader, size_t offset, size_t width)
    {
        const auto bytes = reader.bytes(offset, width);
        if (!bytes)
            return std::nullopt;
        uint64_t value = 0;
        for (const uint8_t byte : *bytes)
            value = value << 8 | byte;
        return value;
    }

    bool refuse(const QString &text) { return fail(mReason, text); }

    // The length an object's marker announces: its low nibble, or the integer after it.
    std::optional<uint64_t> length(uint8_t marker, size_t &offset) const
    {
        if ((marker & 0x0F) != 0x0F)
            return marker & 0x0F;
        const auto intMarker = mBytes.u8(offset);
        if (!intMarker || (*intMarker & 0xF0) != 0x10 || (*intMarker & 0x0F) > 3)
            return std::nullopt;
        const size_t width = size_t(1) << (*intMarker & 0x0F);
        const auto value = bigEndian(mBytes, offset + 1, width);
        offset += 1 + width;
        return value;
    }

    std::optional<size_t> objectStart(uint64_t index) const
    {
        const auto start = index < mState.size() ? bigEndian(mBytes, mTable + size_t(index) * mOffsetSize, mOffsetSize)
                                                 : std::nullopt;
        return start && *start < mObjectsEnd ? std::optional<size_t>(size_t(*start)) : std::nullopt;
    }

    // A reference list (array or dictionary) of a reached object: where it starts and how many
    // references it holds (a dictionary: its keys, then as many values).
    std::optional<std::pair<size_t, uint64_t>> referenceList(uint64_t index, uint8_t type) const
    {
        const auto start = objectStart(index);
        const auto marker = start ? mBytes.u8(*start) : std::nullopt;
        if (!marker || (*marker >> 4) != type || mState[size_t(index)].mark != Mark::Done)
            return std::nullopt;
        size_t offset = *start + 1;
        const auto count = length(*marker, offset);
        return count ? std::optional(std::pair(offset, *count)) : std::nullopt;
    }

    uint64_t reference(size_t offset) const { return *bigEndian(mBytes, offset, mRefSize); }

    std::optional<std::vector<uint64_t>> arrayItems(uint64_t index) const
    {
        const auto list = referenceList(index, 0xA);
        if (!list)
            return std::nullopt;
        std::vector<uint64_t> items(size_t(list->second));
        for (size_t i = 0; i < items.size(); ++i)
            items[i] = reference(list->first + i * mRefSize);
        return items;
    }

    // The value a dictionary holds under key. Ambiguous: the key appears twice, or a key is no
    // ASCII text, where which value libplist would take is not for this reader to guess.
    std::optional<uint64_t> dictValue(uint64_t index, std::string_view key, bool &ambiguous) const
    {
        const auto list = referenceList(index, 0xD);
        if (!list)
            return std::nullopt;
        const auto [offset, count] = *list;
        std::optional<uint64_t> value;
        for (uint64_t i = 0; i < count; ++i) {
            const auto text = asciiText(reference(offset + size_t(i) * mRefSize));
            if (!text) {
                ambiguous = true;
                return std::nullopt;
            }
            if (*text != key)
                continue;
            if (value) {
                ambiguous = true;
                return std::nullopt;
            }
            value = reference(offset + size_t(count + i) * mRefSize);
        }
        return value;
    }

    std::optional<std::string_view> asciiText(uint64_t index) const
    {
        const auto start = objectStart(index);
        const auto marker = start ? mBytes.u8(*start) : std::nullopt;
        if (!marker || (*marker >> 4) != 0x5)
            return std::nullopt;
        size_t offset = *start + 1;
        const auto count = length(*marker, offset);
        const auto text = count ? mBytes.bytes(offset, size_t(*count)) : std::nullopt;
        if (!text)
            return std::nullopt;
        return std::string_view(reinterpret_cast<const char *>(text->data()), text->size());
    }

    // Whether the reached objects lie apart, after the header: rewriting one's marker then
    // changes nothing else. Well-made files always do.
    bool objectsApart() const
    {
        std::vector<std::pair<size_t, size_t>> extents;
        for (const Object &object : mState) {
            if (object.mark == Mark::Done)
                extents.emplace_back(object.start, object.end);
        }
        std::sort(extents.begin(), extents.end());
        extents.erase(std::unique(extents.begin(), extents.end()), extents.end());
        for (size_t i = 0; i < extents.size(); ++i) {
            if (extents[i].first < kMagicSize || (i > 0 && extents[i].first < extents[i - 1].second))
                return false;
        }
        return true;
    }

    // Where the bytes of an object of a fixed-size type end; nothing for a type whose size this
    // reader does not know.
    static std::optional<size_t> fixedEnd(uint8_t marker, size_t offset)
    {
        switch (marker >> 4) {
        case 0x0: return offset;
        case 0x1:
        case 0x2: return (marker & 0x0F) < 5 ? std::optional<size_t>(offset + (size_t(1) << (marker & 0x0F))) : std::nullopt;
        case 0x3: return marker == 0x33 ? std::optional<size_t>(offset + 8) : std::nullopt;
        case 0x8: return offset + (marker & 0x0F) + 1;
        default: return std::nullopt;
        }
    }

    bool visit(uint64_t index, int depth)
    {
        if (depth > kMaxDepth)
            return refuse(QStringLiteral("the archive nests objects more than %1 deep").arg(kMaxDepth));
        Object &object = mState[size_t(index)];
        if (object.mark == Mark::Done)
            return true;
        if (object.mark == Mark::OnPath)
            return refuse(QStringLiteral("the archive holds an object that contains itself"));
        object.mark = Mark::OnPath;

        const auto start = bigEndian(mBytes, mTable + size_t(index) * mOffsetSize, mOffsetSize);
        const auto marker = start && *start < mObjectsEnd ? mBytes.u8(size_t(*start)) : std::nullopt;
        if (!marker)
            return refuse(QStringLiteral("object %1 lies outside the property list").arg(index));
        size_t offset = size_t(*start) + 1;
        uint64_t nodes = 1;
        uint64_t payload = 0;
        size_t end = 0;
        size_t dataLength = 0;
        const uint8_t type = *marker >> 4;
        if (type == 0xA || type == 0xC || type == 0xD) { // array, set, dictionary: references follow
            const auto count = length(*marker, offset);
            const uint64_t references = count && *count <= mObjectsEnd ? *count * (type == 0xD ? 2 : 1) : UINT64_MAX;
            if (offset > mObjectsEnd || references > (mObjectsEnd - offset) / mRefSize)
                return refuse(QStringLiteral("object %1 runs past the end of the property list").arg(index));
            for (uint64_t i = 0; i < references; ++i) {
                const uint64_t child = *bigEndian(mBytes, offset + size_t(i) * mRefSize, mRefSize);
                if (child >= mState.size())
                    return refuse(QStringLiteral("object %1 refers to an object that does not exist").arg(index));
                if (!visit(child, depth + 1))
                    return false;
                // Each total stays below its bound after every step, so the sums cannot wrap.
                nodes += mState[size_t(child)].nodes;
                payload += mState[size_t(child)].payload;
                if (nodes > mMaxNodes || payload > mMaxPayload)
                    return refuse(QStringLiteral("the archive expands to more than its size can hold: "
                                                 "objects are shared too often"));
            }
            end = offset + size_t(references) * mRefSize;
        } else if (type == 0x4 || type == 0x5 || type == 0x6) { // data, ASCII text, UTF-16 text
            const auto count = length(*marker, offset);
            const uint64_t bytes = count && *count <= mObjectsEnd ? *count * (type == 0x6 ? 2 : 1) : UINT64_MAX;
            if (offset > mObjectsEnd || bytes > mObjectsEnd - offset)
                return refuse(QStringLiteral("object %1 runs past the end of the property list").arg(index));
            payload = bytes;
            end = offset + size_t(bytes);
            if (type == 0x4 && bytes > 0) {
                dataLength = size_t(bytes);
                mDataSeen = true;
            }
        } else if (const auto fixed = fixedEnd(*marker, offset); fixed && *fixed <= mObjectsEnd) {
            end = *fixed;
        } else {
            mLayoutKnown = false;
        }
        Object &done = mState[size_t(index)];
        done = {Mark::Done, nodes, payload, size_t(*start), end, dataLength ? offset : 0, dataLength};
        return true;
    }

    const ByteReader mBytes;
    QString *mReason = nullptr;
    uint8_t mOffsetSize = 0;
    uint8_t mRefSize = 0;
    size_t mTable = 0;
    size_t mObjectsEnd = 0;
    uint64_t mMaxNodes = 0;
    uint64_t mMaxPayload = 0;
    uint64_t mTop = 0;
    bool mDataSeen = false;
    bool mLayoutKnown = true;
    std::vector<Object> mState;
};

} // namespace

namespace {

bool isBinaryPlist(std::span<const uint8_t> archive, QString *reason)
{
    if (archive.size() < kMagicSize || std::memcmp(archive.data(), kBinaryMagic, kMagicSize) != 0
        || archive.size() > UINT32_MAX)
        return fail(reason, QStringLiteral("not a binary property list"));
    return true;
}

// The root array of an archive that has passed the graph check; slices, when given, supply the
// data elements.
std::optional<QList<ArchiveValue>> readChecked(std::span<const uint8_t> archive, const DataSlices *slices,
                                               QString *reason)
{
    plist_t parsed = nullptr;
    plist_from_bin(reinterpret_cast<const char *>(archive.data()), static_cast<uint32_t>(archive.size()), &parsed);
    const PlistPtr root(parsed);
    if (!isType(parsed, PLIST_DICT)) {
        fail(reason, parsed ? QStringLiteral("not a keyed archive: the property list is not a dictionary")
                            : QStringLiteral("not a binary property list"));
        return std::nullopt;
    }
    if (stringValue(plist_dict_get_item(parsed, "$archiver")) != QLatin1String(kArchiverName)) {
        fail(reason, QStringLiteral("not a keyed archive: no $archiver %1").arg(QLatin1String(kArchiverName)));
        return std::nullopt;
    }
    plist_t table = plist_dict_get_item(parsed, "$objects");
    plist_t top = plist_dict_get_item(parsed, "$top");
    if (!isType(table, PLIST_ARRAY) || !isType(top, PLIST_DICT)) {
        fail(reason, QStringLiteral("not a keyed archive: no $objects array or no $top dictionary"));
        return std::nullopt;
    }

    const Objects objects(table);
    plist_t rootObject = objects.resolve(plist_dict_get_item(top, "root"));
    if (!rootObject) {
        fail(reason, QStringLiteral("the archive's root reference is missing or out of range"));
        return std::nullopt;
    }
    const std::optional<QString> rootClass = objects.className(rootObject);
    if (rootClass != QLatin1String("NSArray") && rootClass != QLatin1String("NSMutableArray")) {
        fail(reason, QStringLiteral("the root object is not an array"));
        return std::nullopt;
    }
    plist_t references = plist_dict_get_item(rootObject, "NS.objects");
    if (!isType(references, PLIST_ARRAY)) {
        fail(reason, QStringLiteral("the root array has no NS.objects"));
        return std::nullopt;
    }

    const std::vector<plist_t> items = indexArray(references);
    QList<ArchiveValue> values;
    values.reserve(static_cast<qsizetype>(items.size()));
    for (size_t i = 0; i < items.size(); ++i) {
        std::optional<ArchiveValue> value = element(objects, slices, items[i], static_cast<qsizetype>(i), reason);
        if (!value)
            return std::nullopt;
        values.append(std::move(*value));
    }
    return values;
}

} // namespace

std::optional<QList<ArchiveValue>> readRootArray(std::span<const uint8_t> archive, QString *reason)
{
    if (!isBinaryPlist(archive, reason) || !GraphCheck(archive).run(reason))
        return std::nullopt;
    return readChecked(archive, nullptr, reason);
}

std::optional<QList<ArchiveValue>> readRootArray(QByteArray archive, QString *reason)
{
    // Ours alone from here: its data markers may be rewritten, and the slices share it.
    archive.detach();
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t *>(archive.constData()),
                                         static_cast<size_t>(archive.size()));
    if (!isBinaryPlist(bytes, reason))
        return std::nullopt;
    GraphCheck graph(bytes);
    if (!graph.run(reason))
        return std::nullopt;
    const std::optional<DataSlices> slices = graph.sliceData(archive);
    return readChecked(bytes, slices ? &*slices : nullptr, reason);
}

std::optional<QByteArray> writeRootArray(const QList<ArchiveValue> &values)
{
    for (const ArchiveValue &value : values) {
        if (const auto *text = std::get_if<QString>(&value); text && text->contains(QChar(0)))
            return std::nullopt;
    }

    // $objects: "$null", the root array, its elements, the array's class description.
    const uint64_t firstElement = 2;
    const uint64_t classIndex = firstElement + static_cast<uint64_t>(values.size());

    plist_t references = plist_new_array();
    plist_t table = plist_new_array();
    plist_array_append_item(table, plist_new_string("$null"));
    plist_t rootObject = plist_new_dict();
    plist_array_append_item(table, rootObject);
    for (qsizetype i = 0; i < values.size(); ++i) {
        plist_array_append_item(references, plist_new_uid(firstElement + static_cast<uint64_t>(i)));
        plist_array_append_item(table, newValueNode(values.at(i)));
    }
    plist_dict_set_item(rootObject, "NS.objects", references);
    plist_dict_set_item(rootObject, "$class", plist_new_uid(classIndex));
    plist_t classInfo = plist_new_dict();
    plist_dict_set_item(classInfo, "$classname", plist_new_string("NSArray"));
    plist_dict_set_item(classInfo, "$classes", newStringArray({"NSArray", "NSObject"}));
    plist_array_append_item(table, classInfo);

    plist_t top = plist_new_dict();
    plist_dict_set_item(top, "root", plist_new_uid(1));
    const PlistPtr archive(plist_new_dict());
    plist_dict_set_item(archive.get(), "$version", plist_new_uint(kArchiveVersion));
    plist_dict_set_item(archive.get(), "$archiver", plist_new_string(kArchiverName));
    plist_dict_set_item(archive.get(), "$top", top);
    plist_dict_set_item(archive.get(), "$objects", table);

    char *bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(archive.get(), &bytes, &length);
    QByteArray out(bytes, static_cast<qsizetype>(length));
    plist_to_bin_free(bytes);
    return out;
}

std::optional<QList<QByteArray>> dataElements(QList<ArchiveValue> values, QString *reason)
{
    return elementsOf<QByteArray, QList<QByteArray>>(std::move(values), "data", reason);
}

std::optional<QStringList> stringElements(QList<ArchiveValue> values, QString *reason)
{
    return elementsOf<QString, QStringList>(std::move(values), "a string", reason);
}

std::optional<QList<quint64>> numberElements(const QList<ArchiveValue> &values, QString *reason)
{
    return elementsOf<quint64, QList<quint64>>(values, "an unsigned integer", reason);
}

QList<ArchiveValue> values(const QList<QByteArray> &data)
{
    return {data.begin(), data.end()};
}

QList<ArchiveValue> values(const QStringList &strings)
{
    return {strings.begin(), strings.end()};
}

QList<ArchiveValue> values(const QList<quint64> &numbers)
{
    return {numbers.begin(), numbers.end()};
}

} // namespace KeyedArchive
