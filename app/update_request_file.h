// The update request file "update.nfo" that the update command hands to the
// separate updater: twelve lines, each the uuencoding (uu_encoding.h) of one
// plain line "LABEL           : value" (the label padded with blanks to 16
// characters), each ending in carriage return and line feed, the last one
// included. The lines name the installed product, version and edition, where
// the updater looks on the update server, the program it starts when it has
// finished, and a proxy description that says no proxy is used.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace vendrik {

// The request file's name; it is written into the current directory.
inline const QString kUpdateRequestFileName = QStringLiteral("update.nfo");

// The twelve plain lines, in order, without line ends.
QStringList UpdateRequestLines();

// The file's contents: every plain line encoded and followed by CR LF.
QByteArray UpdateRequestContents();

// Writes UpdateRequestContents() to `path`, replacing any file of that name.
// The file is written beside its final name and renamed over it only when
// every byte is on disk, so a failure leaves an existing file untouched and
// no partial file behind. Throws std::runtime_error, whose message names the
// file and the reason, when it cannot be written.
void WriteUpdateRequestFile(const QString& path);

}  // namespace vendrik
