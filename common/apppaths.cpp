// SPDX-License-Identifier: MIT
#include "common/apppaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>

namespace AppPaths {

namespace {

const QString Folder = QStringLiteral("Orvane");

// The folder, made private to its user when it has to be created.
QString ensured(const QString &dir)
{
    if (!QFileInfo::exists(dir) && QDir().mkpath(dir))
        QFile::setPermissions(
            dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return dir;
}

bool isUnder(const QString &dir, const QString &location)
{
    const QString clean = QDir::cleanPath(location);
    return dir == clean || dir.startsWith(clean + QLatin1Char('/'));
}

} // namespace

QStringList installedLocations(const QString &installPrefix, const QString &installBinDir)
{
    QStringList locations{QStringLiteral("/usr"), QStringLiteral("/opt")};
    for (const QString &dir : {installPrefix, installBinDir}) {
        // A relative or root prefix names no place of its own.
        if (QDir::isAbsolutePath(dir) && QDir::cleanPath(dir) != QLatin1String("/"))
            locations << QDir::cleanPath(dir);
    }
    return locations;
}

Layout layoutFor(const QString &appDir, bool appDirWritable, const Xdg &xdg,
                 const QStringList &installed)
{
    const QString folder = QDir::cleanPath(appDir);
    Layout layout;
    layout.portable = appDirWritable
        && std::none_of(installed.begin(), installed.end(),
                        [&](const QString &location) { return isUnder(folder, location); });
    if (layout.portable) {
        layout.configFiles = QStringList{QString(appDir + QStringLiteral("/conf.ini"))};
        layout.dataDir = layout.cacheDir = appDir;
        return layout;
    }
    for (const QString &dir : QStringList{xdg.configHome} + xdg.configDirs)
        layout.configFiles << dir + QLatin1Char('/') + Folder + QStringLiteral("/conf.ini");
    layout.dataDir = xdg.dataHome + QLatin1Char('/') + Folder;
    layout.cacheDir = xdg.cacheHome + QLatin1Char('/') + Folder;
    return layout;
}

const Layout &current()
{
    static const Layout layout = [] {
        const QString appDir = QCoreApplication::applicationDirPath();
        Xdg xdg;
        QStringList config =
            QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
        xdg.configHome = config.isEmpty() ? QString() : config.takeFirst();
        xdg.configDirs = config;
        xdg.dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        xdg.cacheHome = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
        // As the executable's folder, the places are compared with their links resolved too.
        const QStringList named = installedLocations(QStringLiteral(ORVANE_INSTALL_PREFIX),
                                                     QStringLiteral(ORVANE_INSTALL_BINDIR));
        QStringList installed = named;
        for (const QString &location : named) {
            const QString resolved = QFileInfo(location).canonicalFilePath();
            if (!resolved.isEmpty() && !installed.contains(resolved))
                installed << resolved;
        }
        return layoutFor(appDir, QFileInfo(appDir).isWritable(), xdg, installed);
    }();
    return layout;
}

QString dataDirectory()
{
    return ensured(current().dataDir);
}

QString cacheDirectory()
{
    return ensured(current().cacheDir);
}

} // namespace AppPaths
