// Keyed archives and encrypted files made without the updater's own writer and codec: the archive
// node by node with libplist, the encryption by the openssl command.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <variant>

namespace HandMade {

// An element as a platform archiver may store it: plain, or as an NSMutableData or
// NSMutableString dictionary.
struct MutableData { QByteArray bytes; };
struct MutableString { QString text; };
using Element = std::variant<QByteArray, QString, quint64, MutableData, MutableString>;

// An archive whose root is an NSMutableArray; the elements are stored in $objects in reverse
// order and share one class description per class, as the platform's archiver is free to do.
QByteArray archive(const QList<Element> &elements);

// The binary form of a property list tree; frees the tree.
QByteArray toBinary(void *root);

// AES-256-CBC, PKCS#7, zero IV, key = SHA-256 of the key string, by `openssl enc`.
QByteArray opensslEncrypt(const QByteArray &plain, const QString &keyString);

} // namespace HandMade
