// SPDX-License-Identifier: MIT
#include "engines/webkit/downloadbridge.h"

#include <QUrl>
#include <QWebFrame>

namespace {

// ES5, as QtWebKit understands. Capturing at the window catches links a script clicks too.
const char Script[] = R"js(window.addEventListener('click', function (event) {
    var link = event.target;
    while (link && !(link.tagName === 'A' && link.hasAttribute('download')))
        link = link.parentElement;
    if (!link || !link.href)
        return;
    event.preventDefault();
    var name = link.getAttribute('download') || '';
    if (link.href.indexOf('blob:') !== 0) {
        orvaneDownloads.fetch(link.href, name);
        return;
    }
    var request = new XMLHttpRequest();
    request.open('GET', link.href);
    request.responseType = 'arraybuffer';
    request.onload = function () {
        var bytes = new Uint8Array(request.response), text = '';
        for (var i = 0; i < bytes.length; ++i)
            text += String.fromCharCode(bytes[i]);
        orvaneDownloads.save(link.href, name, btoa(text));
    };
    request.send();
}, true);)js";

} // namespace

void DownloadBridge::watch(QWebFrame *frame, const Trusted &trusted, const Made &made)
{
    connect(frame, &QWebFrame::javaScriptWindowObjectCleared, frame, [frame, trusted, made] {
        // The last page's bridge goes with it: what its script did to it stays there.
        delete frame->findChild<DownloadBridge *>(QString(), Qt::FindDirectChildrenOnly);
        // A frame's first page has no address of its own yet when its window is made.
        if (!trusted(frame->url().isEmpty() ? frame->requestedUrl() : frame->url()))
            return;
        auto *bridge = new DownloadBridge(frame);
        made(bridge);
        frame->addToJavaScriptWindowObject(QStringLiteral("orvaneDownloads"), bridge);
        frame->evaluateJavaScript(QString::fromLatin1(Script));
    });
    // QtWebKit makes a page's script environment, and so clears the window object, only when
    // a script first runs: a page without one would never get the watch above.
    connect(frame, &QWebFrame::initialLayoutCompleted, frame,
            [frame] { frame->evaluateJavaScript(QStringLiteral("void 0")); });
}

void DownloadBridge::save(const QString &href, const QString &name, const QString &base64)
{
    emit bytesReady(QByteArray::fromBase64(base64.toLatin1()), QUrl(href), name);
}

void DownloadBridge::fetch(const QString &href, const QString &name)
{
    emit fetchRequested(QUrl(href), name);
}
