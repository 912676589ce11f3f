// The digest manifest that may travel with a catalogue: a SHA256SUMS file in sha256sum's format
// naming every image the packager meant to ship and the SHA-256 of its bytes. A damaged or
// unexpected image then never reaches a camera, even when its header still looks right.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class DigestManifest
{
public:
    static constexpr QLatin1StringView kFileName{"SHA256SUMS"};
    // Far more than any real catalogue's manifest needs; a larger file is not a manifest.
    static constexpr qint64 kMaxFileSize = 1 << 20;

    enum class Match { Matches, Differs, NotNamed };

    // The manifest in text, sha256sum --check style; nothing, with the reason, when any line is
    // not "<64 hex digits> <space or *><name>".
    static std::optional<DigestManifest> parse(const QByteArray &text, QString *problem);

    // The manifest file of a folder; nothing when there is none. A file that is there but cannot be
    // read or parsed gives a manifest that names nothing, with the reason in problem.
    static std::optional<DigestManifest> load(const QString &folder, QString *problem);

    // The text sha256sum would write for these images, one line per name in order.
    static QByteArray format(const QStringList &names, const QList<QByteArray> &images);

    Match check(const QString &name, const QByteArray &bytes) const;

    // How a check reads in a log line or a listing.
    static QString describe(Match match);

private:
    QHash<QString, QByteArray> mDigests; // file name -> 32-byte digest
};
