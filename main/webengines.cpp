// SPDX-License-Identifier: MIT
#include "main/webengines.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QLibrary>

namespace WebEngines {

QString fromConfig(const QString &value)
{
    if (value.isEmpty() || value == QLatin1String(WebKit) || value == QLatin1String(WebEngine))
        return value.isEmpty() ? QString::fromLatin1(WebKit) : value;
    qDebug() << "conf.ini: web/engine" << value << "is neither webkit nor webengine, using webkit";
    return QString::fromLatin1(WebKit);
}

QStringList libraryPaths(const QString &engine)
{
    const QString file = QStringLiteral("liborvane-") + engine + QStringLiteral(".so");
    const QString appDir = QCoreApplication::applicationDirPath();
    return {appDir + QLatin1Char('/') + file,
            QDir::cleanPath(appDir + QStringLiteral("/" ORVANE_ENGINE_RELATIVE_DIR "/") + file),
            QStringLiteral(ORVANE_ENGINE_BUILD_DIR "/") + file};
}

WebView *create(const QString &engine, const WebView::Settings &settings, QWidget *parent,
                QString *problem)
{
    QStringList reasons;
    const QString other = QString::fromLatin1(engine == QLatin1String(WebKit) ? WebEngine : WebKit);
    for (const QString &name : {engine, other}) {
        QString reason = QStringLiteral("liborvane-%1.so is not installed").arg(name);
        for (const QString &path : libraryPaths(name)) {
            if (!QFile::exists(path))
                continue;
            QLibrary library(path);
            if (const auto factory = reinterpret_cast<Factory>(library.resolve(FactorySymbol))) {
                if (name != engine)
                    qDebug() << "web engine" << engine
                             << "cannot be used, showing the platform with" << name;
                return factory(settings, parent);
            }
            reason = library.errorString();
            break;
        }
        qDebug() << "web engine" << name << "cannot be used:" << reason;
        reasons << reason;
    }
    if (problem)
        *problem = reasons.join(QLatin1Char('\n'));
    return nullptr;
}

} // namespace WebEngines
