// SPDX-License-Identifier: MIT
#include "devservice/demoservice.h"

#include "devservice/accounts.h"
#include "devservice/downloads.h"
#include "devservice/httputil.h"
#include "devservice/modernpage.h"
#include "devservice/pages.h"
#include "devservice/planpdf.h"
#include "devservice/qrimage.h"
#include "devservice/securitypages.h"
#include "devservice/selfsignedcertificate.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <mutex>

using httplib::Request;
using httplib::Response;

namespace {

// The library's pool has 8 workers on a small machine. Held, slow and streaming requests each
// keep one, and "demo/control" must still find one free.
constexpr size_t WorkerThreads = 48;
static_assert(WorkerThreads > 2 * Pacing::MaxHeld);
constexpr long MaxWaitMs = 120000;
constexpr size_t BigFileChunk = 64 * 1024;

QString qs(const std::string &text)
{
    return QString::fromStdString(text);
}

std::string json(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

std::string statusReply(int status, const char *msg)
{
    return json(
        {{QStringLiteral("status"), status}, {QStringLiteral("msg"), QString::fromUtf8(msg)}});
}

void sendDownload(Response &res, const Download &download)
{
    if (download.body.empty()) {
        res.status = 404;
        return;
    }
    HttpUtil::setDownload(res, download.body, download.contentType, download.fileName);
}

// A whole number of at most max from the query, fallback when absent; nullopt if malformed.
std::optional<long> numberParam(const Request &req, const char *name, long fallback, long max)
{
    if (!req.has_param(name))
        return fallback;
    const std::string text = HttpUtil::param(req, name);
    char *end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (!std::isdigit(static_cast<unsigned char>(text[0])) || *end != '\0' || value > max)
        return std::nullopt;
    return value;
}

void sendText(Response &res, int status, const std::string &text)
{
    res.status = status;
    res.set_content(text, "text/plain; charset=utf-8");
}

// Plain text for curl, a page for a browser.
void sendMessage(const Request &req, Response &res, int status, const std::string &title,
                 const std::string &text)
{
    if (HttpUtil::wantsHtml(req)) {
        HttpUtil::setHtml(res, Pages::message(title, text), status);
    } else {
        sendText(res, status, text + "\n");
    }
}

// One line per request; for the foreign site also what the visitor's browser told it about
// where it came from, so that a test sees whether anything of the platform leaked.
void logRequest(const Request &req, const Response &res, bool withOrigin)
{
    // A TLS client that refuses the certificate closes without a request, which the library
    // reports as a 400 with no request line: nothing was asked.
    if (req.method.empty())
        return;
    std::string text = HttpUtil::logLine(req, res) + '\n';
    if (withOrigin) {
        // The library compares header names regardless of case.
        for (const char *header : {"referer", "origin", "cookie"}) {
            for (size_t i = 0; i < req.get_header_value_count(header); ++i)
                text += std::string("  ") + header + ": " + req.get_header_value(header, i) + '\n';
        }
    }
    static std::mutex mutex;
    std::lock_guard<std::mutex> lock(mutex);
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
}

} // namespace

DemoService::DemoService(const Config &config)
    : m_config(config)
{
    if (config.https) {
        m_certificate = std::make_unique<SelfSignedCertificate>();
        if (!m_certificate->certificate()) {
            m_error = "cannot make the TLS certificate";
            return;
        }
        m_server = std::make_unique<httplib::SSLServer>(m_certificate->certificate(),
                                                        m_certificate->key());
        if (!m_server->is_valid()) {
            m_error = "cannot set up TLS with the certificate";
            return;
        }
    } else {
        m_server = std::make_unique<httplib::Server>();
    }

    m_server->new_task_queue = [] {
        return new httplib::ThreadPool(WorkerThreads);
    };
    // An idle kept-alive connection holds its worker until this runs out, and stopping
    // waits for every worker.
    m_server->set_keep_alive_timeout(1);
    // The library's default adds SO_REUSEPORT, with which a second service on the same port
    // would start without complaint and take half the connections.
    m_server->set_socket_options([](socket_t sock) {
        const int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    const bool foreign = config.role == Role::Foreign;
    m_server->set_logger(
        [foreign](const Request &req, const Response &res) { logRequest(req, res, foreign); });
    if (foreign) {
        routeForeign();
        return;
    }

    m_planPdf = planPdf();
    if (m_planPdf.empty())
        m_error = "cannot make files/plan.pdf";
    routeClient();
    routeQrCode();
    routePages();
    routeTestPages();
    routeFiles();
    routeControl();

    m_server->set_error_handler([](const Request &req, Response &res) {
        if (res.body.empty() && res.status == 404)
            sendMessage(req, res, 404, "页面不存在", "您访问的页面不存在。");
    });
}

DemoService::~DemoService() = default;

std::string DemoService::certificateFingerprint() const
{
    return m_certificate ? m_certificate->sha256Fingerprint() : std::string();
}

int DemoService::bind(const std::string &host, int port)
{
    if (port == 0)
        return m_server->bind_to_any_port(host);
    return m_server->bind_to_port(host, port) ? port : -1;
}

bool DemoService::run()
{
    return m_server->listen_after_bind();
}

void DemoService::stop()
{
    // Stopping joins every worker: release the held and paused requests first.
    m_pacing.stop();
    m_server->stop();
}

std::string DemoService::loginReply(const std::string &userName, const std::string &password)
{
    if (userName.empty() || password.empty())
        return statusReply(0, "用户名和密码不能为空");
    const DemoAccount *account = findAccount(userName);
    if (!account)
        return statusReply(0, "账号不存在");
    if (account->password != password)
        return statusReply(0, "密码错误，请重新输入");
    const QJsonObject result{
        {QStringLiteral("token"), qs(m_sessions.issue(account->userName))},
        {QStringLiteral("userName"), qs(account->userName)},
        {QStringLiteral("realName"), qs(account->displayName)},
    };
    return json({{QStringLiteral("status"), 1},
                 {QStringLiteral("msg"), QStringLiteral("登录成功")},
                 {QStringLiteral("result"), result}});
}

void DemoService::routeClient()
{
    m_server->Post("/orvane/client/login", [this](const Request &req, Response &res) {
        HttpUtil::setJson(
            res, loginReply(HttpUtil::param(req, "userName"), HttpUtil::param(req, "passWord")));
    });

    m_server->Get("/orvane/keepOnline", [this](const Request &req, Response &res) {
        const bool online = m_sessions.userFor(HttpUtil::param(req, "token")).has_value();
        HttpUtil::setJson(res, online ? statusReply(1, "在线") : statusReply(0, "登录已失效"));
    });
}

void DemoService::routeQrCode()
{
    m_server->Get("/orvane/qrcode/getImageCode", [this](const Request &req, Response &res) {
        const std::string ticket = m_tickets.issue();
        // What a phone reads from the code: the page that confirms this very ticket.
        const std::string png =
            qrCodePng(HttpUtil::baseUrl(req) + "orvane/qrcode/confirm?ticket=" + ticket);
        if (png.empty()) {
            res.status = 500;
            return;
        }
        res.set_header("Set-Cookie", std::string(QrCookie) + '=' + ticket + "; Path=/; HttpOnly");
        res.set_content(png, "image/png");
    });

    const auto state = [this](const Request &req, Response &res) {
        const std::optional<std::string> user =
            m_tickets.confirmedBy(HttpUtil::cookie(req, QrCookie));
        if (!user)
            return HttpUtil::setJson(res, statusReply(0, "二维码已失效，请重新获取"));
        const DemoAccount *account = findAccount(*user);
        if (!account)
            return HttpUtil::setJson(res, statusReply(0, "等待手机扫码确认"));
        // Unlike the login reply, the credentials stand at the top level.
        HttpUtil::setJson(res,
                          json({{QStringLiteral("status"), 1},
                                {QStringLiteral("msg"), QStringLiteral("扫码登录成功")},
                                {QStringLiteral("userName"), qs(account->userName)},
                                {QStringLiteral("passWord"), qs(account->password)}}));
    };
    m_server->Post("/orvane/qrcode/getQRcodeState", state);
    m_server->Get("/orvane/qrcode/getQRcodeState", state);

    // Stands in for the phone app: the page the QR code leads to, or, with "account", the
    // confirmation itself ("ticket=latest" picks the newest code, for the command line).
    m_server->Get("/orvane/qrcode/confirm", [this](const Request &req, Response &res) {
        std::string ticket = HttpUtil::param(req, "ticket");
        if (ticket.empty())
            ticket = QrTickets::Latest;
        const std::optional<std::string> resolved = m_tickets.resolve(ticket);
        if (!resolved)
            return sendMessage(req, res, 404, "扫码登录",
                               "没有这个二维码：请先打开 Orvane 的登录窗口。");

        const std::string userName = HttpUtil::param(req, "account");
        if (userName.empty()) {
            if (HttpUtil::wantsHtml(req))
                return HttpUtil::setHtml(res, Pages::confirmPage(*resolved));
            return sendMessage(req, res, 400, "扫码登录",
                               "请用 account=<用户名> 指定确认登录的账号。");
        }
        const DemoAccount *account = findAccount(userName);
        if (!account)
            return sendMessage(req, res, 400, "扫码登录", "没有这个演示账号：" + userName);
        m_tickets.confirm(*resolved, account->userName);
        if (HttpUtil::wantsHtml(req))
            return HttpUtil::setHtml(res, Pages::confirmDone(*account));
        res.set_content("confirmed " + *resolved + " for " + account->userName + "\n",
                        "text/plain; charset=utf-8");
    });
}

Pages::Viewer DemoService::viewer(const Request &req) const
{
    Pages::Viewer viewer;
    viewer.baseUrl = HttpUtil::baseUrl(req);
    viewer.token = HttpUtil::cookie(req, SessionCookie);
    viewer.attackPage = !m_config.foreignUrl.empty();
    if (const std::optional<std::string> user = m_sessions.userFor(viewer.token))
        viewer.account = findAccount(*user);
    return viewer;
}

void DemoService::openSession(const Request &req, Response &res, const std::string &token)
{
    Pages::Viewer viewer;
    viewer.baseUrl = HttpUtil::baseUrl(req);
    viewer.token = token;
    viewer.attackPage = !m_config.foreignUrl.empty();
    viewer.account = findAccount(m_sessions.userFor(token).value_or(std::string()));
    // Later pages of the view (menus, the classroom) know the user by this cookie.
    res.set_header("Set-Cookie", std::string(SessionCookie) + '=' + token + "; Path=/; HttpOnly");
    HttpUtil::setHtml(res, Pages::home(viewer));
}

void DemoService::sessionExpired(const Request &req, Response &res)
{
    res.set_redirect(HttpUtil::baseUrl(req) + "orvane/login?expired=1");
}

void DemoService::routePages()
{
    m_server->Get("/", [](const Request &req, Response &res) {
        HttpUtil::setHtml(res, Pages::overview(HttpUtil::baseUrl(req)));
    });

    // The start page after a password login.
    m_server->Get("/orvane/main", [this](const Request &req, Response &res) {
        const std::string token = HttpUtil::param(req, "token");
        if (!m_sessions.userFor(token))
            return sessionExpired(req, res);
        openSession(req, res, token);
    });

    // The start page after a QR-code login, which hands over the credentials instead.
    m_server->Get("/orvane/loginMainIndex", [this](const Request &req, Response &res) {
        const DemoAccount *account = findAccount(HttpUtil::param(req, "userName"));
        if (!account || account->password != HttpUtil::param(req, "passWord"))
            return sessionExpired(req, res);
        openSession(req, res, m_sessions.issue(account->userName));
    });

    m_server->Get("/orvane/index", [this](const Request &req, Response &res) {
        const Pages::Viewer who = viewer(req);
        if (!who.account)
            return sessionExpired(req, res);
        const int menuId = std::atoi(HttpUtil::param(req, "menuId").c_str());
        const auto menu =
            Pages::isMenu(menuId) ? static_cast<Pages::Menu>(menuId) : Pages::Menu::Home;
        HttpUtil::setHtml(res, Pages::menuPage(who, menu));
    });

    m_server->Get("/orvane/classroom/detail", [this](const Request &req, Response &res) {
        const Pages::Viewer who = viewer(req);
        if (!who.account)
            return sessionExpired(req, res);
        HttpUtil::setHtml(res, Pages::classroomDetail(who, HttpUtil::param(req, "classId")));
    });

    // Other systems of the platform, entered with the platform's session.
    for (const char *which : {"dede", "zari"}) {
        const std::string path = std::string("/") + which + '/' + which + "Login";
        m_server->Get(path, [this, which](const Request &req, Response &res) {
            Pages::Viewer who = viewer(req);
            if (!who.account) {
                who.token = HttpUtil::param(req, "token");
                who.account = findAccount(m_sessions.userFor(who.token).value_or(std::string()));
            }
            if (!who.account)
                return sessionExpired(req, res);
            HttpUtil::setHtml(res, Pages::subsystem(who, which));
        });
    }

    m_server->Get("/orvane/resetPsd", [](const Request &, Response &res) {
        HttpUtil::setHtml(res, Pages::resetPassword(false));
    });
    m_server->Post("/orvane/resetPsd", [](const Request &, Response &res) {
        HttpUtil::setHtml(res, Pages::resetPassword(true));
    });

    const auto loginPage = [](bool submitted) {
        return [submitted](const Request &req, Response &res) {
            if (HttpUtil::param(req, "type") == "register")
                return HttpUtil::setHtml(res, Pages::registerAccount(submitted));
            // Where a page request without a valid session ends up.
            if (HttpUtil::param(req, "expired") == "1") {
                return HttpUtil::setHtml(res,
                                         Pages::message("登录已失效", "请在 Orvane 中重新登录。"));
            }
            sendMessage(req, res, 200, "登录", "请在 Orvane 客户端中登录。");
        };
    };
    m_server->Get("/orvane/login", loginPage(false));
    m_server->Post("/orvane/login", loginPage(true));

    // Leaves the platform for another site, as the platform's own links to partners do.
    m_server->Get("/orvane/redirect", [](const Request &req, Response &res) {
        const QUrl to(qs(HttpUtil::param(req, "to")), QUrl::StrictMode);
        const bool web =
            to.scheme() == QLatin1String("http") || to.scheme() == QLatin1String("https");
        if (!to.isValid() || !web || to.host().isEmpty())
            return sendMessage(req, res, 400, "跳转", "to 须是完整的 http(s) 地址。");
        res.set_redirect(to.toString(QUrl::FullyEncoded).toStdString());
    });

    for (const char *kind : {"teacher", "student"}) {
        const std::string path = std::string("/orvane/user/import/") + kind;
        m_server->Get(path, [kind](const Request &, Response &res) {
            HttpUtil::setHtml(res, Pages::importPage(kind, false));
        });
        m_server->Post(path, [kind](const Request &, Response &res) {
            HttpUtil::setHtml(res, Pages::importPage(kind, true));
        });
    }
}

void DemoService::routeTestPages()
{
    // Open without a session: test pages show nothing of an account, and the engines the
    // client is compared with open them directly.
    m_server->Get("/orvane/files",
                  [](const Request &, Response &res) { HttpUtil::setHtml(res, Pages::files()); });
    m_server->Get("/orvane/desktop", [](const Request &, Response &res) {
        HttpUtil::setHtml(res, Pages::desktopFeatures());
    });
    m_server->Get("/orvane/modern",
                  [](const Request &, Response &res) { HttpUtil::setHtml(res, Pages::modern()); });
    m_server->Get("/static/modern.mjs", [](const Request &, Response &res) {
        // Engines run a module only when it comes as JavaScript.
        res.set_content(Pages::modernModule(), "text/javascript; charset=utf-8");
    });
    m_server->Get("/orvane/modern/data", [](const Request &, Response &res) {
        HttpUtil::setJson(
            res,
            json({{QStringLiteral("status"), 1},
                  {QStringLiteral("msg"), QStringLiteral("现代网页")},
                  {QStringLiteral("result"),
                   QJsonObject{{QStringLiteral("school"), QStringLiteral("演示学校")}}}}));
    });
    if (!m_config.foreignUrl.empty()) {
        m_server->Get("/orvane/attack", [this](const Request &, Response &res) {
            HttpUtil::setHtml(res, Pages::attack(m_config.foreignUrl));
        });
    }
}

void DemoService::sendBigFile(const Request &req, Response &res)
{
    const std::optional<long> kb = numberParam(req, "kb", 16384, 1024 * 1024);
    const std::optional<long> ms = numberParam(req, "ms", 200, MaxWaitMs);
    if (!kb || !ms || *kb == 0)
        return sendText(res, 400, "kb: 1 to 1048576, ms: 0 to 120000\n");
    const std::chrono::milliseconds interval(*ms);
    // Looked up now: the provider runs while this request's connection is still open.
    const int socket = HttpUtil::socketOf(req);
    res.set_header("Content-Disposition", HttpUtil::attachment("big.zip", "big.zip"));
    // Each download of it streams anew, never from what an engine kept of the last one.
    res.set_header("Cache-Control", "no-store");
    // A chunk at once, then one per interval; the pause or the write fails once the client
    // has gone, which ends the download.
    res.set_content_provider(
        static_cast<size_t>(*kb) * 1024, "application/zip",
        [this, interval, socket](size_t offset, size_t length, httplib::DataSink &sink) {
            if (offset > 0 && !m_pacing.pause(interval, socket))
                return false;
            const std::string chunk = bigFileBytes(offset, std::min(length, BigFileChunk));
            return sink.write(chunk.data(), chunk.size());
        });
}

void DemoService::routeFiles()
{
    m_server->Get(R"(/upload/notice/(.+))", [](const Request &req, Response &res) {
        sendDownload(res, noticeFile(req.matches[1].str()));
    });
    m_server->Get(R"(/exam/exportStudent\.action)", [](const Request &req, Response &res) {
        sendDownload(res, studentExport(HttpUtil::param(req, "classId")));
    });
    // The view posts the form; the desktop browser it is handed to asks with GET.
    const auto attendance = [](const Request &req, Response &res) {
        sendDownload(res, attendanceExport(HttpUtil::param(req, "classId")));
    };
    m_server->Get("/orvane/attendance/classAttendanceListExport", attendance);
    m_server->Post("/orvane/attendance/classAttendanceListExport", attendance);
    m_server->Get("/orvane/oa/salary/exportSalaryTemplate",
                  [](const Request &, Response &res) { sendDownload(res, salaryTemplate()); });

    // The download page's files: one of each kind a view must handle.
    m_server->Get(R"(/files/(homework\.docx|data\.bin))", [](const Request &req, Response &res) {
        const std::optional<BinaryFile> file = binaryFile(req.matches[1].str());
        if (!file->fileName.empty()) {
            res.set_header("Content-Disposition",
                           HttpUtil::attachment(file->fileName, file->asciiName));
        }
        res.set_content(file->body, file->contentType);
    });
    m_server->Get("/files/big.zip",
                  [this](const Request &req, Response &res) { sendBigFile(req, res); });
    m_server->Get("/files/plan.pdf", [this](const Request &, Response &res) {
        res.set_content(m_planPdf, "application/pdf");
    });
}

void DemoService::routeControl()
{
    // While stalled, every other request waits without an answer; its connection is closed
    // when the stall ends.
    m_server->set_pre_routing_handler([this](const Request &req, Response &res) {
        if (req.path == "/demo/control" || !m_pacing.stalled())
            return httplib::Server::HandlerResponse::Unhandled;
        const int socket = HttpUtil::socketOf(req);
        m_pacing.hold(socket);
        HttpUtil::dropConnection(res, socket);
        return httplib::Server::HandlerResponse::Handled;
    });

    m_server->Get("/demo/control", [this](const Request &req, Response &res) {
        const std::string sessions = HttpUtil::param(req, "sessions");
        const std::string stall = HttpUtil::param(req, "stall");
        const bool sessionsOk = sessions.empty() || sessions == "forget";
        const bool stallOk = stall.empty() || stall == "0" || stall == "1";
        if (!sessionsOk || !stallOk || (sessions.empty() && stall.empty()))
            return sendText(res, 400, "usage: demo/control?sessions=forget | stall=1 | stall=0\n");
        std::string done;
        if (!sessions.empty())
            done += "sessions forgotten: " + std::to_string(m_sessions.forgetAll()) + '\n';
        if (!stall.empty()) {
            m_pacing.setStalled(stall == "1");
            done += stall == "1" ? "stalled\n" : "stall ended\n";
        }
        sendText(res, 200, done);
    });

    m_server->Get("/demo/slow", [this](const Request &req, Response &res) {
        const std::optional<long> ms = numberParam(req, "ms", 0, MaxWaitMs);
        if (!ms)
            return sendMessage(req, res, 400, "慢速页面", "ms 须是 0 到 120000 之间的毫秒数。");
        const int socket = HttpUtil::socketOf(req);
        if (!m_pacing.pause(std::chrono::milliseconds(*ms), socket))
            return HttpUtil::dropConnection(res, socket);
        HttpUtil::setHtml(
            res, Pages::message("慢速页面", "本页等待了 " + std::to_string(*ms) + " 毫秒。"));
    });
}

void DemoService::routeForeign()
{
    m_server->Get("/evil", [](const Request &, Response &res) {
        HttpUtil::setHtml(res, Pages::foreignEvil());
    });
    m_server->Get("/frame", [](const Request &req, Response &res) {
        HttpUtil::setHtml(res, Pages::foreignFrame(HttpUtil::param(req, "platform")));
    });
    // What the frame reports is in the request's own log line.
    m_server->Get("/report", [](const Request &, Response &res) { res.status = 204; });
    m_server->Get("/pixel.png", [](const Request &, Response &res) {
        res.set_content(Pages::foreignPixelPng(), "image/png");
    });
    const auto collect = [](const Request &, Response &res) {
        HttpUtil::setHtml(res, Pages::foreignCollected());
    };
    m_server->Get(R"(/collect(/.*)?)", collect);
    m_server->Post(R"(/collect(/.*)?)", collect);
}
