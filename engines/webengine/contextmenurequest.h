// SPDX-License-Identifier: MIT
#pragma once

// What is under the pointer when a view's context menu is asked for: Qt 6's
// QWebEngineContextMenuRequest, which Qt 5 calls QWebEngineContextMenuData and keeps in the page.
// Both have the same members (linkUrl, selectedText, isContentEditable, editFlags, ...).
#include <QWebEngineView>
#include <QtGlobal>

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
#include <QWebEngineContextMenuRequest>
using ContextMenuRequest = QWebEngineContextMenuRequest;
#else
#include <QWebEngineContextMenuData>
using ContextMenuRequest = QWebEngineContextMenuData;
#endif

// The request of the view's current context-menu event; null when Chromium made none.
inline const ContextMenuRequest *contextMenuRequest(const QWebEngineView *view)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return view->lastContextMenuRequest();
#else
    return &view->page()->contextMenuData();
#endif
}
