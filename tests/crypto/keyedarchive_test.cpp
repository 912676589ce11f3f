// Keyed archives: what the writer writes reads back, archives of another maker read alike, and
// anything else is refused with a reason, never read past its end, property lists that would
// expand without bound before the library builds them.
#include "payload/keyedarchive.h"

#include <QFile>

#include <plist/plist.h>

#include <gtest/gtest.h>

#include <functional>

namespace {

std::span<const uint8_t> span(const QByteArray &bytes)
{
    return {reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size())};
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(path);
    return file.readAll();
}

// Archives another maker wrote, checked in under data/.
QByteArray data(const char *name) { return fileBytes(QStringLiteral(LUMIVEX_CRYPTO_DATA "/") + QLatin1String(name)); }

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
    char *bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &bytes, &length);
    const QByteArray out(bytes, qsizetype(length));
    plist_to_bin_free(bytes);
    plist_free(root);
    return out;
}

plist_t objects(plist_t root) { return plist_dict_get_item(root, "$objects"); }
plist_t elements(plist_t root) { return plist_dict_get_item(plist_array_get_item(objects(root), 1), "NS.objects"); }

const QList<ArchiveValue> kMixed = {
    QByteArray("\x00\x01\xff", 3), QByteArray(), QStringLiteral("LUMIVEX_RZ52940_0102.bin"),
    QStringLiteral("Kamera-ファーム"), QString(), quint64(0), quint64(65540), ~quint64(0),
};

TEST(KeyedArchive, OursAndArchivesOfAnotherMakerReadBack)
{
    QString reason;
    EXPECT_EQ(KeyedArchive::readRootArray(span(*KeyedArchive::writeRootArray(kMixed)), &reason), kMixed) << qPrintable(reason);
    EXPECT_EQ(KeyedArchive::readRootArray(span(*KeyedArchive::writeRootArray({}))), QList<ArchiveValue>());

    // Made once with libplist node by node, as a platform archiver may write it: the root an
    // NSMutableArray, elements stored last to first, one class description shared per class, and
    // NSMutableData, plain data, NSMutableString, a plain string and a number as the elements.
    EXPECT_EQ(KeyedArchive::readRootArray(span(data("anothermaker.bplist")), &reason),
              (QList<ArchiveValue>{QByteArray("image one"), QByteArray("image two"), QStringLiteral("name"),
                                   QStringLiteral("plain"), quint64(42)})) << qPrintable(reason);

    // What real archives share stays within the bounds that refuse bombs (below): hundreds of
    // NSMutableStrings naming the same keys and class (made like anothermaker.bplist), and one
    // image stored for three elements.
    EXPECT_EQ(KeyedArchive::readRootArray(span(data("anothermaker-300-names.bplist"))).value_or(QList<ArchiveValue>()).size(), 300);
    const QByteArray image(64 * 1024, '\x5a');
    EXPECT_TRUE(KeyedArchive::readRootArray(span(*KeyedArchive::writeRootArray({image, image, image}))));
    // A string holding a NUL is never written (nor read: below).
    EXPECT_FALSE(KeyedArchive::writeRootArray({QStringLiteral("name"), QStringLiteral("a") + QChar(0) + QStringLiteral("b")}));
}

TEST(KeyedArchive, RefusesWhatIsNoArchiveOfAnArray)
{
    const QByteArray good = *KeyedArchive::writeRootArray(kMixed);
    const auto top = [](plist_t r) { return plist_dict_get_item(r, "$top"); };
    const QString corpus = QStringLiteral(LUMIVEX_KEYEDARCHIVE_CORPUS "/");
    const Refusal rows[] = {
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
        {"object of another class", edited(good, [](plist_t r) { plist_array_set_item(elements(r), plist_new_uid(1), 0); }),
         "element 0 is an object of class NSArray"},
        // Refused at once: handed to the library, the array bombs would build 2^26 nodes or nest
        // 100000 deep and take seconds, the data bomb (plistlib: one 4 KiB data object in an array
        // 40 times) would copy far more than its size.
        {"shared arrays", fileBytes(corpus + "bomb-shared-arrays.bplist"), "shared too often"},
        {"nested arrays", fileBytes(corpus + "bomb-nested-arrays.bplist"), "more than 64 deep"},
        {"an array holding itself", fileBytes(corpus + "bomb-cycle.bplist"), "contains itself"},
        {"shared data", data("bomb-shared-data.bplist"), "shared too often"},
        // A UTF-16 string keeps its length through the library, so a damaged archive can carry a NUL.
        {"NUL", [] {
             QByteArray archive = *KeyedArchive::writeRootArray({QStringLiteral("\u00e4#b")});
             archive[archive.indexOf(QByteArray("\x00\xe4\x00#\x00" "b", 6)) + 3] = '\0';
             return archive; }(), "element 0 is a string holding a NUL character"},
    };
    for (const Refusal &row : rows)
        expectRefused(row);
}

TEST(KeyedArchive, ACutOrDamagedArchiveNeverReadsBeyondTheBuffer)
{
    const QByteArray good = *KeyedArchive::writeRootArray(kMixed);
    // Copies of exactly each shorter length, so that a read past one is a read past an allocation.
    for (qsizetype length = 0; length < good.size(); ++length)
        EXPECT_FALSE(KeyedArchive::readRootArray(span(QByteArray(good.constData(), length)))) << length;
    // Any byte damaged: refused or read, never a crash (the fuzz target goes further, outside CI).
    for (qsizetype i = 0; i < good.size(); ++i) {
        QByteArray damaged = good;
        damaged[i] = char(damaged[i] ^ 0x80);
        static_cast<void>(KeyedArchive::readRootArray(span(damaged)));
    }
}

} // namespace
