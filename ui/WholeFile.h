#pragma once

#include <QByteArray>
#include <QString>

namespace mervane {

// Replaces the file at `path` with `bytes`, or leaves it as it was: they are written beside it and
// renamed over it only once every byte is written. False when they could not all be written.
bool replaceFileWhole(const QString& path, const QByteArray& bytes);

}  // namespace mervane
