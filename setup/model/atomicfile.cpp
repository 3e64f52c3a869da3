#include "orvomodel/atomicfile.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>

#include <sys/stat.h>

bool IsWritableTarget(const std::string& path)
{
    struct stat info {};
    // Nothing there yet (or no way to look): the save itself tells why it fails.
    if (::stat(path.c_str(), &info) != 0)
        return true;
    return S_ISREG(info.st_mode);
}

bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* error,
                         int* errorNumber)
{
    // Renaming a temporary file over a FIFO or a device node would replace
    // the node itself with a plain file.
    if (!IsWritableTarget(path)) {
        if (error)
            *error = path + " is not a regular file";
        if (errorNumber)
            *errorNumber = EINVAL;
        return false;
    }
    // The system's number of the first call that failed, read before
    // anything else can change errno.
    int number = 0;
    auto noteErrno = [&number] {
        if (number == 0)
            number = errno != 0 ? errno : EIO;
    };
    errno = 0;
    QSaveFile file(QFile::decodeName(QByteArray::fromStdString(path)));
    // Unbuffered, and written until every byte is out: a short write (the
    // disk filled up part-way) carries no reason, the next attempt returns
    // the system's ("No space left on device"). A buffered write would only
    // fail at the flush inside commit(), which then saves the short file.
    bool ok = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    if (!ok)
        noteErrno();
    for (size_t done = 0; ok && done < text.size();) {
        errno = 0;
        const qint64 written = file.write(text.data() + done, static_cast<qint64>(text.size() - done));
        ok = written > 0;
        if (ok)
            done += static_cast<size_t>(written);
        else
            noteErrno();
    }
    if (ok) {
        errno = 0;
        ok = file.flush() && file.error() == QFileDevice::NoError;
        if (!ok)
            noteErrno();
    }
    // Taken before cancelWriting(), which replaces it with its own wording.
    QString reason = file.errorString();
    if (ok) {
        errno = 0;
        ok = file.commit();
        if (!ok) {
            noteErrno();
            reason = file.errorString();
        }
    } else {
        file.cancelWriting();
    }
    if (!ok && error)
        *error = path + ": " + reason.toStdString();
    if (!ok && errorNumber)
        *errorNumber = number;
    return ok;
}
