// Keyed archives: what the writer writes reads back, archives of another maker read alike, and
// anything else is refused with a reason, never read past its end.
#include "payload/keyedarchive.h"
#include "tests/crypto/handmadearchive.h"

#include <plist/plist.h>

#include <gtest/gtest.h>

#include <functional>

namespace {

std::span<const uint8_t> span(const QByteArray &bytes)
{
    return {reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size())};
}

// The archive parsed, changed by edit, and written again.
QByteArray edited(const QByteArray &archive, const std::function<void(plist_t)> &edit)
{
    plist_t root = nullptr;
    plist_from_bin(archive.constData(), uint32_t(archive.size()), &root);
    edit(root);
    return HandMade::toBinary(root);
}

plist_t objectAt(plist_t root, uint32_t index)
{
    return plist_array_get_item(plist_dict_get_item(root, "$objects"), index);
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
    const QByteArray archive = HandMade::archive({
        MutableData{QByteArray("image one")}, QByteArray("image two"), MutableString{QStringLiteral("name")},
        QStringLiteral("plain name"), quint64(42),
    });
    EXPECT_EQ(KeyedArchive::readRootArray(span(archive), &reason),
              (QList<ArchiveValue>{QByteArray("image one"), QByteArray("image two"), QStringLiteral("name"),
                                   QStringLiteral("plain name"), quint64(42)})) << qPrintable(reason);
}

TEST(KeyedArchive, RefusesWhatIsNoArchiveOfAnArray)
{
    const QByteArray good = *KeyedArchive::writeRootArray(kMixed);
    struct Row { const char *what; QByteArray bytes; const char *reason; };
    const Row rows[] = {
        {"no archiver", edited(good, [](plist_t r) { plist_dict_remove_item(r, "$archiver"); }), "$archiver"},
        {"other archiver", edited(good, [](plist_t r) { plist_dict_set_item(r, "$archiver", plist_new_string("X")); }), "$archiver"},
        {"no objects", edited(good, [](plist_t r) { plist_dict_remove_item(r, "$objects"); }), "$objects"},
        {"root out of range", edited(good, [](plist_t r) {
             plist_dict_set_item(plist_dict_get_item(r, "$top"), "root", plist_new_uid(4000)); }), "root reference"},
        // A number where a reference belongs must not read as reference 0 or any other.
        {"root not a reference", edited(good, [](plist_t r) {
             plist_dict_set_item(plist_dict_get_item(r, "$top"), "root", plist_new_uint(1)); }), "root reference"},
        {"root not an array", edited(good, [](plist_t r) {
             plist_dict_set_item(objectAt(r, 1), "$class", plist_new_uid(2)); }), "not an array"},
        {"no NS.objects", edited(good, [](plist_t r) { plist_dict_remove_item(objectAt(r, 1), "NS.objects"); }), "NS.objects"},
        {"element out of range", edited(good, [](plist_t r) {
             plist_array_set_item(plist_dict_get_item(objectAt(r, 1), "NS.objects"), plist_new_uid(999), 2); }),
         "element 2 is not a valid reference"},
        {"element not a reference", edited(good, [](plist_t r) {
             plist_array_set_item(plist_dict_get_item(objectAt(r, 1), "NS.objects"), plist_new_uint(3), 1); }),
         "element 1 is not a valid reference"},
        {"real element", HandMade::archive({quint64(1), HandMade::Real{2.5}}), "element 1 is a real number"},
        {"array element", edited(good, [](plist_t r) {
             plist_array_set_item(plist_dict_get_item(r, "$objects"), plist_new_array(), 2); }),
         "element 0 is an array"},
        {"object of another class", edited(good, [](plist_t r) {
             plist_array_set_item(plist_dict_get_item(objectAt(r, 1), "NS.objects"), plist_new_uid(1), 0); }),
         "element 0 is an object of class NSArray"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        QString reason;
        EXPECT_FALSE(KeyedArchive::readRootArray(span(row.bytes), &reason));
        EXPECT_TRUE(reason.contains(QLatin1String(row.reason))) << qPrintable(reason);
    }
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

TEST(KeyedArchive, StringsHoldingNulAreNeitherWrittenNorRead)
{
    EXPECT_FALSE(KeyedArchive::writeRootArray({QStringLiteral("name"), QStringLiteral("a") + QChar(0) + QStringLiteral("b")}));
    // A UTF-16 string keeps its length through the library, so a damaged archive can carry a NUL.
    QByteArray archive = *KeyedArchive::writeRootArray({QStringLiteral("\u00e4#b")});
    const qsizetype at = archive.indexOf(QByteArray("\x00\xe4\x00#\x00" "b", 6));
    ASSERT_GE(at, 0);
    archive[at + 3] = '\0';
    QString reason;
    EXPECT_FALSE(KeyedArchive::readRootArray(span(archive), &reason));
    EXPECT_EQ(reason, QStringLiteral("element 0 is a string holding a NUL character"));
}

} // namespace
