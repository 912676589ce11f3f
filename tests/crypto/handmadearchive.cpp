// Keyed archives and encrypted files made without the updater's own writer and codec.
#include "tests/crypto/handmadearchive.h"

#include <QCryptographicHash>
#include <QProcess>

#include <plist/plist.h>


namespace HandMade {
namespace {

plist_t classDescription(const char *name, const char *base)
{
    plist_t info = plist_new_dict();
    plist_t classes = plist_new_array();
    plist_array_append_item(classes, plist_new_string(name));
    plist_array_append_item(classes, plist_new_string(base));
    plist_array_append_item(classes, plist_new_string("NSObject"));
    plist_dict_set_item(info, "$classes", classes);
    plist_dict_set_item(info, "$classname", plist_new_string(name));
    return info;
}

} // namespace

QByteArray archive(const QList<Element> &elements)
{
    // Layout: 0 "$null", 1 root, 2.. class descriptions, then the elements last to first.
    plist_t objects = plist_new_array();
    plist_array_append_item(objects, plist_new_string("$null"));
    plist_t root = plist_new_dict();
    plist_array_append_item(objects, root);
    plist_array_append_item(objects, classDescription("NSMutableArray", "NSArray"));
    plist_array_append_item(objects, classDescription("NSMutableData", "NSData"));
    plist_array_append_item(objects, classDescription("NSMutableString", "NSString"));
    const auto wrapped = [](const char *key, plist_t value, uint64_t classIndex) {
        plist_t node = plist_new_dict();
        plist_dict_set_item(node, key, value);
        plist_dict_set_item(node, "$class", plist_new_uid(classIndex));
        return node;
    };
    plist_t references = plist_new_array();
    for (qsizetype i = elements.size() - 1; i >= 0; --i) {
        const Element &e = elements.at(i);
        plist_t node = nullptr;
        if (const auto *bytes = std::get_if<QByteArray>(&e))
            node = plist_new_data(bytes->constData(), uint64_t(bytes->size()));
        else if (const auto *text = std::get_if<QString>(&e))
            node = plist_new_string(text->toUtf8().constData());
        else if (const auto *number = std::get_if<quint64>(&e))
            node = plist_new_uint(*number);
        else if (const auto *data = std::get_if<MutableData>(&e))
            node = wrapped("NS.data", plist_new_data(data->bytes.constData(), uint64_t(data->bytes.size())), 3);
        else
            node = wrapped("NS.string", plist_new_string(std::get<MutableString>(e).text.toUtf8().constData()), 4);
        plist_array_append_item(objects, node);
        plist_array_insert_item(references, plist_new_uid(plist_array_get_size(objects) - 1), 0);
    }
    plist_dict_set_item(root, "$class", plist_new_uid(2));
    plist_dict_set_item(root, "NS.objects", references);

    plist_t top = plist_new_dict();
    plist_dict_set_item(top, "root", plist_new_uid(1));
    plist_t archiveRoot = plist_new_dict();
    plist_dict_set_item(archiveRoot, "$archiver", plist_new_string("NSKeyedArchiver"));
    plist_dict_set_item(archiveRoot, "$objects", objects);
    plist_dict_set_item(archiveRoot, "$top", top);
    plist_dict_set_item(archiveRoot, "$version", plist_new_uint(100000));
    return toBinary(archiveRoot);
}

QByteArray opensslEncrypt(const QByteArray &plain, const QString &keyString)
{
    const QByteArray key = QCryptographicHash::hash(keyString.toUtf8(), QCryptographicHash::Sha256).toHex();
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("enc"), QStringLiteral("-aes-256-cbc"), QStringLiteral("-K"), QString::fromLatin1(key),
                   QStringLiteral("-iv"), QString(32, QLatin1Char('0'))});
    if (!openssl.waitForStarted())
        qFatal("cannot start openssl");
    openssl.write(plain);
    openssl.closeWriteChannel();
    if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0)
        qFatal("openssl enc failed: %s", openssl.readAllStandardError().constData());
    return openssl.readAllStandardOutput();
}

QByteArray toBinary(void *root)
{
    char *bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(static_cast<plist_t>(root), &bytes, &length);
    QByteArray out(bytes, qsizetype(length));
    plist_to_bin_free(bytes);
    plist_free(static_cast<plist_t>(root));
    return out;
}

} // namespace HandMade
