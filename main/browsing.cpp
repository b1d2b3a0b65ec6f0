// SPDX-License-Identifier: MIT
#include "main/browsing.h"

#include <QUrlQuery>

#include <algorithm>
#include <array>
#include <cmath>

namespace Browsing {

namespace {

constexpr std::array<qreal, 13> ZoomSteps{0.5,  0.67, 0.75, 0.8, 0.9, 1.0, 1.1,
                                          1.25, 1.5,  1.75, 2.0, 2.5, 3.0};

} // namespace

Failure classify(QNetworkReply::NetworkError error, int httpStatus)
{
    if (httpStatus >= 400)
        return Failure::HttpStatus;
    switch (error) {
    case QNetworkReply::SslHandshakeFailedError:
        return Failure::Certificate;
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError: // our own deadline
        return Failure::Timeout;
    case QNetworkReply::NoError:
        return Failure::Other;
    default:
        return Failure::Connection;
    }
}

Message describe(Failure failure, int httpStatus, const QString &host)
{
    const QString retry = QStringLiteral("平台恢复后，页面会自动重新打开。");
    switch (failure) {
    case Failure::Connection:
        return {QStringLiteral("无法连接到平台"), QStringLiteral("请检查网络连接。") + retry};
    case Failure::HttpStatus:
        return {QStringLiteral("平台出错了（错误 %1）").arg(httpStatus),
                QStringLiteral("这是平台服务器的问题，不是你的电脑的问题。") + retry};
    case Failure::Certificate:
        return {QStringLiteral("无法验证服务器 %1 的证书").arg(host),
                QStringLiteral("为了安全，连接已经停止。请联系学校的管理员。")};
    case Failure::Timeout:
        return {QStringLiteral("平台没有及时响应"), QStringLiteral("平台现在很忙。") + retry};
    case Failure::Other:
        break;
    }
    return {QStringLiteral("网页没能打开"), retry};
}

int retryDelaySeconds(int attempt)
{
    return attempt >= 5 ? 60 : std::min(60, 2 << attempt);
}

qreal zoomed(qreal current, int steps)
{
    // From the step nearest to the factor now, so a factor between steps still moves sensibly.
    const auto nearest =
        std::min_element(ZoomSteps.begin(), ZoomSteps.end(), [current](qreal a, qreal b) {
            return std::abs(a - current) < std::abs(b - current);
        });
    const long index =
        std::clamp<long>((nearest - ZoomSteps.begin()) + steps, 0, long(ZoomSteps.size()) - 1);
    return ZoomSteps[std::size_t(index)];
}

bool isPlatformLogin(const QUrl &url, const QString &baseUrl)
{
    // Its registration page shares the path; it never shows in the view, but it is no sign.
    const QUrl login(baseUrl + QStringLiteral("orvane/login"));
    return url.scheme() == login.scheme() && url.host() == login.host()
        && url.port() == login.port() && url.path() == login.path()
        && !QUrlQuery(url).hasQueryItem(QStringLiteral("type"));
}

bool isPageToReturnTo(const QUrl &page)
{
    const QUrlQuery query(page);
    return page.isValid() && !query.hasQueryItem(QStringLiteral("token"))
        && !query.hasQueryItem(QStringLiteral("passWord"));
}

} // namespace Browsing
