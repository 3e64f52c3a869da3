#include "wendrel/jversion.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <dlfcn.h>
#include <sys/auxv.h>

#ifndef WENDREL_VERSION_TEXT
#define WENDREL_VERSION_TEXT ""
#endif

namespace {
// Any address inside the library identifies it to the loader.
const char s_libraryMarker = 0;

QString ProgramPath()
{
    return QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
}

// Load address of the program itself: its program headers lie inside it.
const void* ProgramBase()
{
    Dl_info info{};
    const auto* headers = reinterpret_cast<const void*>(getauxval(AT_PHDR));
    return headers && dladdr(headers, &info) ? info.dli_fbase : nullptr;
}

QString ModulePath(HMODULE_W module)
{
    if (!module)
        return ProgramPath();
    Dl_info info{};
    if (dladdr(module, &info) == 0)
        return QString();
    // The loader names the program by however it was started, often a bare
    // or relative name; the kernel knows its real file.
    if (info.dli_fbase && info.dli_fbase == ProgramBase())
        return ProgramPath();
    if (!info.dli_fname || !*info.dli_fname)
        return QString();
    QString path = QFile::decodeName(info.dli_fname);
    QString target = QFileInfo(path).canonicalFilePath();
    return target.isEmpty() ? path : target;
}

QHash<QString, QString>& Versions()
{
    static QHash<QString, QString> versions{
        {ModulePath(&s_libraryMarker), QStringLiteral(WENDREL_VERSION_TEXT)}};
    return versions;
}
} // namespace

HMODULE_W g_hLibInstance = &s_libraryMarker;

bool JVersion(HMODULE_W module, QString& version, QString& path)
{
    path = ModulePath(module);
    auto it = Versions().constFind(path);
    if (it == Versions().constEnd() || path.isEmpty())
        return true;
    QString text = it.value().left(19);
    text.replace(u',', u'.');
    version = text;
    return true;
}

void JSetModuleVersion(HMODULE_W module, const QString& version)
{
    QString path = ModulePath(module);
    if (!path.isEmpty())
        Versions().insert(path, version);
}
