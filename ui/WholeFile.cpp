#include "ui/WholeFile.h"

#include <QSaveFile>

namespace mervane {

bool replaceFileWhole(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    // Unbuffered: a write that fails (a full disk, a size limit) fails here. Buffered, it would
    // fail only in the flush of commit(), which does not notice and renames the cut file anyway.
    if (file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) &&
        file.write(bytes) == bytes.size() && file.commit())
        return true;
    file.cancelWriting();
    return false;
}

}  // namespace mervane
