// Keyed archives: what the writer writes reads back, archives of another maker read alike, and
// anything else is refused with a reason, never read past its end; property lists that would
// expand without bound are refused before the library builds them.
#include "payload/keyedarchive.h"
#include "tests/crypto/handmadearchive.h"

#include <plist/plist.h>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

std::span<const uint8_t> span(const QByteArray &bytes)
{
    return {reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size())};
}

struct Refusal { const char *what; QByteArray bytes; const char *reason; };

void expectRefused(const Refusal &row)
{
    QString reason;
    EXPECT_FALSE(KeyedArchive::readRootArray(span(row.bytes), &reason)) << row.what;
    EXPECT_TRUE(reason.contains(QLatin1String(row.reason))) << row.what << ": " << qPrintable(reason);
}

// The archive parsed, changed by edit, and written again.
QByteArray edited(const QByteArray &archive, const std::function<void(plist_t)> &edit)
{
    plist_t root = nullptr;
    plist_from_bin(archive.constData(), uint32_t(archive.size()), &root);
    edit(root);
    return HandMade::toBinary(root);
}

plist_t objects(plist_t root) { return plist_dict_get_item(root, "$objects"); }
plist_t elements(plist_t root) { return plist_dict_get_item(plist_array_get_item(objects(root), 1), "NS.objects"); }

// A binary property list laid out object by object, so that arrays can be shared and nested at
// will; object 0 is the top. An object is an array of references or, when data is set, data.
struct Laid { std::vector<uint64_t> refs; QByteArray data; };

QByteArray laidOut(const std::vector<Laid> &objects)
{
    const int refSize = objects.size() < 256 ? 1 : 4;
    QByteArray out("bplist00");
    const auto big = [&out](uint64_t value, int width) {
        for (int shift = 8 * (width - 1); shift >= 0; shift -= 8)
            out.append(char(value >> shift));
    };
    const auto marker = [&](int kind, size_t count) {
        out.append(char(kind << 4 | int(std::min<size_t>(count, 15))));
        if (count >= 15) {
            out.append(char(0x13));
            big(count, 8);
        }
    };
    std::vector<uint64_t> offsets;
    for (const Laid &object : objects) {
        offsets.push_back(uint64_t(out.size()));
        marker(object.data.isNull() ? 0xA : 0x4, object.data.isNull() ? object.refs.size() : size_t(object.data.size()));
        out.append(object.data);
        for (const uint64_t ref : object.refs)
            big(ref, refSize);
    }
    const uint64_t table = uint64_t(out.size());
    for (const uint64_t offset : offsets)
        big(offset, 8);
    out.append(QByteArray(6, '\0')).append(char(8)).append(char(refSize));
    big(objects.size(), 8);
    big(0, 8);
    big(table, 8);
    return out;
}

const QList<ArchiveValue> kMixed = {
    QByteArray("\x00\x01\xff", 3), QByteArray(), QStringLiteral("LUMIVEX_RZ52940_0102.bin"),
    QStringLiteral("Kamera-ファーム"), QString(), quint64(0), quint64(65540), ~quint64(0),
};

TEST(KeyedArchive, OursAndArchivesOfAnotherMakerReadBack)
{
    QString reason;
    EXPECT_EQ(KeyedArchive::readRootArray(span(*KeyedArchive::writeRootArray(kMixed)), &reason), kMixed) << qPrintable(reason);
    EXPECT_EQ(KeyedArchive::readRootArray(span(*KeyedArchive::writeRootArray({}))), QList<ArchiveValue>());

    using namespace HandMade;
    const QByteArray archive = HandMade::archive({MutableData{QByteArray("image one")}, QByteArray("image two"),
                                                  MutableString{QStringLiteral("name")}, QStringLiteral("plain"), quint64(42)});
    EXPECT_EQ(KeyedArchive::readRootArray(span(archive), &reason),
              (QList<ArchiveValue>{QByteArray("image one"), QByteArray("image two"), QStringLiteral("name"),
                                   QStringLiteral("plain"), quint64(42)})) << qPrintable(reason);
}

TEST(KeyedArchive, RefusesWhatIsNoArchiveOfAnArray)
{
    const QByteArray good = *KeyedArchive::writeRootArray(kMixed);
    const auto top = [](plist_t r) { return plist_dict_get_item(r, "$top"); };
    const Refusal rows[] = {
        {"no archiver", edited(good, [](plist_t r) { plist_dict_remove_item(r, "$archiver"); }), "$archiver"},
        {"other archiver", edited(good, [](plist_t r) { plist_dict_set_item(r, "$archiver", plist_new_string("X")); }), "$archiver"},
        {"no objects", edited(good, [](plist_t r) { plist_dict_remove_item(r, "$objects"); }), "$objects"},
        {"root out of range", edited(good, [&](plist_t r) { plist_dict_set_item(top(r), "root", plist_new_uid(4000)); }),
         "root reference"},
        // A number where a reference belongs must not read as reference 0 or any other.
        {"root not a reference", edited(good, [&](plist_t r) { plist_dict_set_item(top(r), "root", plist_new_uint(1)); }),
         "root reference"},
        {"root not an array", edited(good, [](plist_t r) {
             plist_dict_set_item(plist_array_get_item(objects(r), 1), "$class", plist_new_uid(2)); }), "not an array"},
        {"no NS.objects", edited(good, [](plist_t r) { plist_dict_remove_item(plist_array_get_item(objects(r), 1), "NS.objects"); }),
         "NS.objects"},
        {"element out of range", edited(good, [](plist_t r) { plist_array_set_item(elements(r), plist_new_uid(999), 2); }),
         "element 2 is not a valid reference"},
        {"element not a reference", edited(good, [](plist_t r) { plist_array_set_item(elements(r), plist_new_uint(3), 1); }),
         "element 1 is not a valid reference"},
        {"nil element", edited(good, [](plist_t r) { plist_array_set_item(elements(r), plist_new_uid(0), 1); }), "element 1 is nil"},
        {"real element", edited(good, [](plist_t r) { plist_array_set_item(objects(r), plist_new_real(2.5), 2); }),
         "element 0 is a real number"},
        {"array element", edited(good, [](plist_t r) { plist_array_set_item(objects(r), plist_new_array(), 2); }),
         "element 0 is an array"},
        {"object of another class", edited(good, [](plist_t r) { plist_array_set_item(elements(r), plist_new_uid(1), 0); }),
         "element 0 is an object of class NSArray"},
    };
    for (const Refusal &row : rows)
        expectRefused(row);
}

TEST(KeyedArchive, ACutOrDamagedArchiveNeverReadsBeyondTheBuffer)
{
    const QByteArray good = *KeyedArchive::writeRootArray(kMixed);
    for (qsizetype length = 0; length < good.size(); ++length) {
        // A copy of exactly that length, so that a read past it is a read past an allocation.
        const QByteArray cut(good.constData(), length);
        EXPECT_FALSE(KeyedArchive::readRootArray(span(cut))) << length;
    }
    // Any byte damaged: refused or read, never a crash (the fuzz target goes further, outside CI).
    for (qsizetype i = 0; i < good.size(); ++i) {
        QByteArray damaged = good;
        damaged[i] = char(damaged[i] ^ 0x80);
        static_cast<void>(KeyedArchive::readRootArray(span(damaged)));
    }
}

// Each is refused at once; handed to the library, the first two would build 2^26 nodes and take
// seconds, the data bomb a few gigabytes.
TEST(KeyedArchive, GraphsThatWouldExpandBeyondTheirSizeAreRefusedBeforeParsing)
{
    std::vector<Laid> shared, deep, cyclic = {{{1}, {}}, {{0}, {}}};
    for (uint64_t level = 0; level < 26; ++level)
        shared.push_back({{level + 1, level + 1}, {}});
    for (uint64_t level = 0; level < 100000; ++level)
        deep.push_back({{level + 1}, {}});
    shared.push_back({});
    deep.push_back({});
    for (const Refusal &row : {Refusal{"26 levels of shared arrays", laidOut(shared), "shared too often"},
                               Refusal{"100000 nested arrays", laidOut(deep), "more than 64 deep"},
                               Refusal{"an array holding itself", laidOut(cyclic), "contains itself"},
                               Refusal{"64 KiB of data 200 times",
                                       laidOut({{std::vector<uint64_t>(200, 1), {}}, {{}, QByteArray(64 * 1024, 'x')}}),
                                       "shared too often"}})
        expectRefused(row);

    // What real archives share stays within bounds: thousands of elements naming the same keys and
    // class, and one image stored for three elements.
    QList<HandMade::Element> names;
    for (int i = 0; i < 3000; ++i)
        names.append(HandMade::MutableString{QStringLiteral("LUMIVEX_%1.bin").arg(i)});
    EXPECT_EQ(KeyedArchive::readRootArray(span(HandMade::archive(names))).value_or(QList<ArchiveValue>()).size(), 3000);
    const QByteArray image(64 * 1024, '\x5a');
    EXPECT_TRUE(KeyedArchive::readRootArray(span(*KeyedArchive::writeRootArray({image, image, image}))));
}

TEST(KeyedArchive, StringsHoldingNulAreNeitherWrittenNorRead)
{
    EXPECT_FALSE(KeyedArchive::writeRootArray({QStringLiteral("name"), QStringLiteral("a") + QChar(0) + QStringLiteral("b")}));
    // A UTF-16 string keeps its length through the library, so a damaged archive can carry a NUL.
    QByteArray archive = *KeyedArchive::writeRootArray({QStringLiteral("\u00e4#b")});
    const qsizetype at = archive.indexOf(QByteArray("\x00\xe4\x00#\x00" "b", 6));
    ASSERT_GE(at, 0);
    archive[at + 3] = '\0';
    expectRefused({"NUL", archive, "element 0 is a string holding a NUL character"});
}

} // namespace
