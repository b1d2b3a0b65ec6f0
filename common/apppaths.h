// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

// Where the programs read their settings and keep their files. Portable, when the user may
// write to the folder of the executable: everything lives there, beside the programs.
// Installed, when not: conf.ini comes from the user's then the system's XDG config folders,
// key by key, and the files go to the user's XDG data and cache folders.
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

Layout layoutFor(const QString &appDir, bool appDirWritable, const Xdg &xdg);

// This run's layout, worked out on first use.
const Layout &current();
// The data and cache folders of this run, created (0700) when they do not exist yet.
QString dataDirectory();
QString cacheDirectory();

} // namespace AppPaths
