// SPDX-License-Identifier: MIT
#include "common/apppaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

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

} // namespace

Layout layoutFor(const QString &appDir, bool appDirWritable, const Xdg &xdg)
{
    Layout layout;
    layout.portable = appDirWritable;
    if (appDirWritable) {
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
        return layoutFor(appDir, QFileInfo(appDir).isWritable(), xdg);
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
