#include "ui/manuals.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

bool isInside(const QString& path, const QString& folder)
{
    const QString inner = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const QString outer = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    return inner == outer || inner.startsWith(outer + '/');
}

}  // namespace

QString findManual(const QString& name, const ManualFolders& folders)
{
    // A bare file name only: a path would reach outside the manuals' folder.
    if (name.isEmpty() || name.contains('/') || name == QLatin1String(".") || name == QLatin1String(".."))
        return {};
    // A program run from its build tree shows the manuals built with it,
    // not older installed ones.
    const QString folder = !folders.buildDir.isEmpty() && isInside(folders.programDir, folders.buildDir)
                               ? folders.buildManualDir
                               : folders.installedDir;
    if (folder.isEmpty())
        return {};
    const QFileInfo file(QDir(folder).filePath(name));
    return file.isFile() ? file.absoluteFilePath() : QString();
}

QString findManual(const QString& name)
{
    return findManual(name, {QCoreApplication::applicationDirPath(), QStringLiteral(CVK_BUILD_DIR),
                             QStringLiteral(CVK_BUILD_MANUAL_DIR), QStringLiteral(CVK_INSTALLED_MANUAL_DIR)});
}
