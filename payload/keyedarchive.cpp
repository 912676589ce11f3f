// Keyed archives on libplist. Every node is type-checked before its value is taken: libplist's
// getters leave their output untouched on a node of another type. $objects is indexed once through
// the array iterator, because looking items up by index walks the list from its start each time.
//
// libplist builds a tree: an object that several containers refer to is built once for each, and
// every level of nesting checks the whole path above it. A small file of shared arrays thus
// becomes millions of nodes, and deep nesting takes seconds, so the object graph is measured on
// the raw bytes first and such a file never reaches the library.
#include "payload/keyedarchive.h"

#include "payload/bytereader.h"

#include <plist/plist.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
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

std::optional<ArchiveValue> element(const Objects &objects, plist_t reference, qsizetype index, QString *reason)
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
        return dataValue(object);
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
            plist_t bytes = objects.member(object, "NS.data");
            if (isType(bytes, PLIST_DATA))
                return dataValue(bytes);
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
// depth, cycles, and how many nodes and bytes of data and text the tree it would build holds.
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
        return visit(top, 1);
    }

private:
    enum class Mark : uint8_t { Unseen, OnPath, Done };
    struct Object
    {
        Mark mark = Mark::Unseen;
        uint64_t nodes = 0;   // nodes of the tree built from this object
        uint64_t payload = 0; // bytes of data and text in that tree
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
        } else if (type == 0x4 || type == 0x5 || type == 0x6) { // data, ASCII text, UTF-16 text
            const auto count = length(*marker, offset);
            const uint64_t bytes = count && *count <= mObjectsEnd ? *count * (type == 0x6 ? 2 : 1) : UINT64_MAX;
            if (offset > mObjectsEnd || bytes > mObjectsEnd - offset)
                return refuse(QStringLiteral("object %1 runs past the end of the property list").arg(index));
            payload = bytes;
        }
        mState[size_t(index)] = {Mark::Done, nodes, payload};
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
    std::vector<Object> mState;
};

} // namespace

std::optional<QList<ArchiveValue>> readRootArray(std::span<const uint8_t> archive, QString *reason)
{
    const size_t magicLength = sizeof(kBinaryMagic) - 1;
    if (archive.size() < magicLength || std::memcmp(archive.data(), kBinaryMagic, magicLength) != 0
        || archive.size() > UINT32_MAX) {
        fail(reason, QStringLiteral("not a binary property list"));
        return std::nullopt;
    }
    if (!GraphCheck(archive).run(reason))
        return std::nullopt;
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
        std::optional<ArchiveValue> value = element(objects, items[i], static_cast<qsizetype>(i), reason);
        if (!value)
            return std::nullopt;
        values.append(std::move(*value));
    }
    return values;
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
