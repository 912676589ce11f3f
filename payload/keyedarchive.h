// Keyed archives: binary property lists in the archiver's form ($archiver, $objects, $top and UID
// references) whose root object is an array of data, strings or unsigned integers.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <span>
#include <variant>

// One element of an archived root array.
using ArchiveValue = std::variant<QByteArray, QString, quint64>;

namespace KeyedArchive {

// The root array of an archive (NSArray or NSMutableArray; data elements plain or as NSMutableData
// dictionaries, strings plain or as NSMutableString dictionaries). Nothing, with the reason, when
// the bytes are not such an archive or a string holds U+0000 (no file name does); reading never
// goes beyond the bytes given.
std::optional<QList<ArchiveValue>> readRootArray(std::span<const uint8_t> archive, QString *reason = nullptr);
// The same from a buffer that the data elements may then share instead of copying it: the
// buffer's data markers are rewritten (a shared buffer is copied first).
std::optional<QList<ArchiveValue>> readRootArray(QByteArray archive, QString *reason = nullptr);

// The archive of a root array, in the form the archiver writes; nothing when a string holds U+0000,
// which the property-list library cannot store.
std::optional<QByteArray> writeRootArray(const QList<ArchiveValue> &values);

// The elements as one type: nothing, with the reason naming the first element of another type.
std::optional<QList<QByteArray>> dataElements(QList<ArchiveValue> values, QString *reason = nullptr);
std::optional<QStringList> stringElements(QList<ArchiveValue> values, QString *reason = nullptr);
std::optional<QList<quint64>> numberElements(const QList<ArchiveValue> &values, QString *reason = nullptr);

QList<ArchiveValue> values(const QList<QByteArray> &data);
QList<ArchiveValue> values(const QStringList &strings);
QList<ArchiveValue> values(const QList<quint64> &numbers);

} // namespace KeyedArchive
