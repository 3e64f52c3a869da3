#include "wendrel/jversion.h"

#include <QFile>
#include <QHash>
#include <dlfcn.h>

#ifndef WENDREL_VERSION_TEXT
#define WENDREL_VERSION_TEXT ""
#endif

namespace {
// Any address inside the library identifies it to the loader.
const char s_libraryMarker = 0;

QString ModulePath(HMODULE_W module)
{
    if (!module)
        return QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    Dl_info info{};
    if (dladdr(module, &info) == 0 || !info.dli_fname)
        return QString();
    QString path = QFile::decodeName(info.dli_fname);
    // The loader reports the program itself by the name it was started with.
    QString canonical = QFile::symLinkTarget(path);
    return canonical.isEmpty() ? path : canonical;
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
