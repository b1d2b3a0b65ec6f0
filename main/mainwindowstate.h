// SPDX-License-Identifier: MIT
#pragma once

#include <QRect>
#include <QString>

// The main window's size, place and maximised state as a user left it, kept for each user in a
// small file of the data folder: {"<user>": {"x", "y", "width", "height", "maximized"}}.
struct MainWindowState
{
    QRect geometry; // when not maximised; null when nothing is remembered
    bool maximized = false;

    bool operator==(const MainWindowState &other) const
    {
        return geometry == other.geometry && maximized == other.maximized;
    }
    bool operator!=(const MainWindowState &other) const { return !(*this == other); }

    // "window.json" in the data folder.
    static QString file();
    static MainWindowState load(const QString &file, const QString &user);
    // Keeps the other users' states. The file is written aside and renamed into place, readable
    // by its user alone; a link in its place is replaced, never written through.
    static bool save(const QString &file, const QString &user, const MainWindowState &state);
};
