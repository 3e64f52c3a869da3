#include "atomicfile.h"

#include <QFile>
#include <QSaveFile>

bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* error)
{
    QSaveFile file(QFile::decodeName(QByteArray::fromStdString(path)));
    bool ok = file.open(QIODevice::WriteOnly) &&
              file.write(text.data(), static_cast<qint64>(text.size())) == static_cast<qint64>(text.size());
    if (ok)
        ok = file.commit();
    else
        file.cancelWriting();
    if (!ok && error)
        *error = path + ": " + file.errorString().toStdString();
    return ok;
}
