// SPDX-License-Identifier: MIT
#include "main/webengines.h"

#include "common/benchstamp.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QPluginLoader>

#include <algorithm>

namespace WebEngines {

QString fromConfig(const QString &value)
{
    if (value.isEmpty() || value == QLatin1String(WebKit) || value == QLatin1String(WebEngine))
        return value.isEmpty() ? QString::fromLatin1(WebEngine) : value;
    qDebug() << "conf.ini: web/engine" << value
             << "is neither webkit nor webengine, using webengine";
    return QString::fromLatin1(WebEngine);
}

QStringList libraryPaths(const QString &engine)
{
    const QString file = QStringLiteral("liborvane-") + engine + QStringLiteral(".so");
    const QString appDir = QCoreApplication::applicationDirPath();
    QStringList paths{
        appDir + QLatin1Char('/') + file,
        QDir::cleanPath(appDir + QStringLiteral("/" ORVANE_ENGINE_RELATIVE_DIR "/") + file)};
#ifdef ORVANE_ENGINE_BUILD_DIR
    paths << QStringLiteral(ORVANE_ENGINE_BUILD_DIR "/") + file;
#endif
    return paths;
}

bool isInstalled(const QString &engine)
{
    const QStringList paths = libraryPaths(engine);
    return std::any_of(paths.begin(), paths.end(),
                       [](const QString &path) { return QFile::exists(path); });
}

namespace {

// The engine's factory, or null with the reason.
WebViewFactory *factoryOf(const QString &name, QString *reason)
{
    *reason = QStringLiteral("liborvane-%1.so is not installed").arg(name);
    for (const QString &path : libraryPaths(name)) {
        if (!QFile::exists(path))
            continue;
        QPluginLoader library(path);
        const QString iid = library.metaData().value(QStringLiteral("IID")).toString();
        if (iid != QLatin1String(OrvaneWebViewFactory_iid)) {
            *reason = QStringLiteral("%1 is not an engine of this Orvane (%2)")
                          .arg(path, iid.isEmpty() ? library.errorString() : iid);
            return nullptr;
        }
        if (auto *factory = qobject_cast<WebViewFactory *>(library.instance()))
            return factory;
        *reason = library.errorString();
        return nullptr;
    }
    return nullptr;
}

} // namespace

WebView *create(const QString &engine, const WebView::Settings &settings, QWidget *parent,
                QString *problem)
{
    QStringList reasons;
    const QString other = QString::fromLatin1(engine == QLatin1String(WebKit) ? WebEngine : WebKit);
    for (const QString &name : {engine, other}) {
        QString reason;
        if (WebViewFactory *factory = factoryOf(name, &reason)) {
            if (name != engine)
                qDebug() << "web engine" << engine << "cannot be used, showing the platform with"
                         << name;
            if (problem)
                *problem = reasons.join(QLatin1Char('\n'));
            BenchStamp::stamp("engine-loaded");
            WebView *view = factory->create(settings, parent);
            BenchStamp::stamp("view-made");
            return view;
        }
        qDebug() << "web engine" << name << "cannot be used:" << reason;
        reasons << reason;
    }
    if (problem)
        *problem = reasons.join(QLatin1Char('\n'));
    return nullptr;
}

} // namespace WebEngines
