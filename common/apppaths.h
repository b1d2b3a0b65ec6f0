// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

// Where the programs read their settings and keep their files. Portable, when the user may
// write to the folder of the executable and it is not an installed location: everything lives
// there, beside the programs. Installed otherwise: conf.ini comes from the user's then the
// system's XDG config folders, key by key, and the files go to the user's XDG data and cache
// folders. Root may write to /usr/bin, which is still no place for anyone's passwords.
namespace AppPaths {

struct Layout
{
    bool portable = true;
    QStringList configFiles; // the first that names a key gives it
    QString dataDir;         // Orvane.db
    QString cacheDir;        // RCode.jpg
};

// The XDG folders of the user, as the environment gives them.
struct Xdg
{
    QString configHome;
    QStringList configDirs;
    QString dataHome;
    QString cacheHome;
};

// The folders whose programs count as installed, whoever may write there: the install rules'
// bin folder, /usr, /opt and the install prefix (not "/").
QStringList installedLocations(const QString &installPrefix, const QString &installBinDir);

// The layout for the executable's folder appDir; installed when appDir is or lies under one of
// installed.
Layout layoutFor(const QString &appDir, bool appDirWritable, const Xdg &xdg,
                 const QStringList &installed);

// This run's layout, worked out on first use.
const Layout &current();
// The data and cache folders of this run, created (0700) when they do not exist yet.
QString dataDirectory();
QString cacheDirectory();

} // namespace AppPaths
