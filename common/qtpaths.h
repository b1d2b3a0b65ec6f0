// SPDX-License-Identifier: MIT
#pragma once

// Where Qt's own files are: QLibraryInfo::location on Qt 5, QLibraryInfo::path on Qt 6.
#include <QLibraryInfo>

namespace QtPaths {

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
inline QString path(QLibraryInfo::LibraryPath which)
{
    return QLibraryInfo::path(which);
}
#else
inline QString path(QLibraryInfo::LibraryLocation which)
{
    return QLibraryInfo::location(which);
}
#endif

} // namespace QtPaths
