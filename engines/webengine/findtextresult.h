// SPDX-License-Identifier: MIT
#pragma once

// QWebEnginePage::findText reports a bool on Qt 5 and a QWebEngineFindTextResult on Qt 6: a
// callback taking `const auto &result` serves both, found(result) reading either.
#include <QWebEngineFindTextResult>

namespace FindTextResult {

inline bool found(bool found)
{
    return found;
}

inline bool found(const QWebEngineFindTextResult &result)
{
    return result.numberOfMatches() > 0;
}

} // namespace FindTextResult
