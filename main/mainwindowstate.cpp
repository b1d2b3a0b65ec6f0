// SPDX-License-Identifier: MIT
#include "main/mainwindowstate.h"

#include "common/apppaths.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace {

QJsonObject readStates(const QString &file)
{
    // A link is not a file of ours: what it leads to is neither read nor written.
    QFile in(file);
    if (QFileInfo(file).isSymLink() || !in.open(QIODevice::ReadOnly))
        return QJsonObject();
    return QJsonDocument::fromJson(in.readAll()).object();
}

} // namespace

QString MainWindowState::file()
{
    return AppPaths::dataDirectory() + QStringLiteral("/window.json");
}

MainWindowState MainWindowState::load(const QString &file, const QString &user)
{
    const QJsonObject entry = readStates(file).value(user).toObject();
    MainWindowState state;
    const QRect geometry(
        entry.value(QLatin1String("x")).toInt(), entry.value(QLatin1String("y")).toInt(),
        entry.value(QLatin1String("width")).toInt(), entry.value(QLatin1String("height")).toInt());
    if (geometry.isEmpty())
        return state;
    state.geometry = geometry;
    state.maximized = entry.value(QLatin1String("maximized")).toBool();
    return state;
}

bool MainWindowState::save(const QString &file, const QString &user, const MainWindowState &state)
{
    QJsonObject states = readStates(file);
    states.insert(user,
                  QJsonObject{{QLatin1String("x"), state.geometry.x()},
                              {QLatin1String("y"), state.geometry.y()},
                              {QLatin1String("width"), state.geometry.width()},
                              {QLatin1String("height"), state.geometry.height()},
                              {QLatin1String("maximized"), state.maximized}});
    const QByteArray text = QJsonDocument(states).toJson(QJsonDocument::Compact);
    // QSaveFile would follow a link to its target.
    if (QFileInfo(file).isSymLink() && !QFile::remove(file))
        return false;
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size() || !out.flush()
        || !out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        qDebug() << file << "could not be written:" << out.errorString();
        out.cancelWriting();
        return false;
    }
    return out.commit();
}
