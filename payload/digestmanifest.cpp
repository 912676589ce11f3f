// The digest manifest that may travel with a catalogue: a SHA256SUMS file in sha256sum's format.
#include "payload/digestmanifest.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cctype>

namespace {

constexpr qsizetype kHexDigits = 64;

QByteArray sha256(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

bool isHex(QByteArrayView text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
}

// sha256sum marks a line whose name holds a backslash or a line break with a leading backslash
// and writes those two as \\ and \n.
QByteArray unescaped(QByteArrayView name)
{
    QByteArray out;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 1 < name.size() && (name[i + 1] == '\\' || name[i + 1] == 'n')) {
            out.append(name[++i] == 'n' ? '\n' : '\\');
            continue;
        }
        out.append(name[i]);
    }
    return out;
}

QByteArray escapedLine(const QByteArray &digest, const QString &name)
{
    QByteArray file = name.toUtf8();
    const bool escape = file.contains('\\') || file.contains('\n');
    if (escape)
        file.replace("\\", "\\\\").replace("\n", "\\n");
    return (escape ? "\\" : "") + digest.toHex() + "  " + file + '\n';
}

} // namespace

std::optional<DigestManifest> DigestManifest::parse(const QByteArray &text, QString *problem)
{
    DigestManifest manifest;
    int number = 0;
    for (QByteArray line : text.split('\n')) {
        ++number;
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            continue;
        const bool escaped = line.startsWith('\\');
        if (escaped)
            line.remove(0, 1);
        const bool wellFormed = line.size() > kHexDigits + 2 && isHex(line.first(kHexDigits)) && line[kHexDigits] == ' '
                                && (line[kHexDigits + 1] == ' ' || line[kHexDigits + 1] == '*');
        if (!wellFormed) {
            *problem = QStringLiteral("line %1 is not \"<SHA-256 in hex>  <file name>\"").arg(number);
            return std::nullopt;
        }
        const QByteArray digest = QByteArray::fromHex(line.first(kHexDigits));
        const QByteArray rawName = line.sliced(kHexDigits + 2);
        const QString name = QString::fromUtf8(escaped ? unescaped(rawName) : rawName);
        const auto known = manifest.mDigests.constFind(name);
        if (known != manifest.mDigests.cend() && *known != digest) {
            *problem = QStringLiteral("line %1 gives %2 a second, different digest").arg(number).arg(name);
            return std::nullopt;
        }
        manifest.mDigests.insert(name, digest);
    }
    return manifest;
}

std::optional<DigestManifest> DigestManifest::load(const QString &folder, QString *problem)
{
    QFile file(QDir(folder).filePath(kFileName));
    if (!file.exists())
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly)) {
        *problem = QStringLiteral("cannot be read: %1").arg(file.errorString());
        return DigestManifest();
    }
    const QByteArray text = file.read(kMaxFileSize + 1);
    if (text.size() > kMaxFileSize) {
        *problem = QStringLiteral("is larger than %1 bytes").arg(kMaxFileSize);
        return DigestManifest();
    }
    return parse(text, problem).value_or(DigestManifest());
}

QByteArray DigestManifest::format(const QStringList &names, const QList<QByteArray> &images)
{
    QByteArray text;
    for (qsizetype i = 0; i < names.size() && i < images.size(); ++i)
        text += escapedLine(sha256(images.at(i)), names.at(i));
    return text;
}

DigestManifest::Match DigestManifest::check(const QString &name, const QByteArray &bytes) const
{
    const auto known = mDigests.constFind(name);
    if (known == mDigests.cend())
        return Match::NotNamed;
    return *known == sha256(bytes) ? Match::Matches : Match::Differs;
}

QString DigestManifest::describe(Match match)
{
    switch (match) {
    case Match::Matches:
        return QStringLiteral("matches its SHA-256 in %1").arg(kFileName);
    case Match::Differs:
        return QStringLiteral("differs from its SHA-256 in %1").arg(kFileName);
    case Match::NotNamed:
        break;
    }
    return QStringLiteral("is not named in %1").arg(kFileName);
}
