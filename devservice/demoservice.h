// SPDX-License-Identifier: MIT
#pragma once

#include "devservice/pacing.h"
#include "devservice/qrtickets.h"
#include "devservice/sessionstore.h"

#include <httplib.h>

#include <memory>
#include <string>

class SelfSignedCertificate;

namespace Pages {
struct Viewer;
}

// The demo platform: the client's JSON requests, the QR-code login, the web pages and the
// files they link to, all answered from memory. In the foreign role it is an unrelated web
// site instead, which logs what it was told about where its visitors came from.
class DemoService
{
public:
    enum class Role { Platform, Foreign };

    struct Config
    {
        Role role = Role::Platform;
        bool https = false;     // a self-signed certificate made at start-up
        std::string foreignUrl; // "http://<host>/": the foreign site the attack page leads to
    };

    explicit DemoService(const Config &config);
    ~DemoService();

    // Why the service cannot run (no certificate, no PDF), or empty.
    const std::string &error() const { return m_error; }
    // The SHA-256 fingerprint of the HTTPS certificate, or empty.
    std::string certificateFingerprint() const;

    // Binds host:port (port 0: any free port); gives the port, or -1.
    int bind(const std::string &host, int port);
    // Serves until stop(); false if it could not.
    bool run();
    void stop();

    static constexpr const char *SessionCookie = "orvaneSession";
    static constexpr const char *QrCookie = "orvaneQrTicket";

private:
    void routeClient();
    void routeQrCode();
    void routePages();
    void routeTestPages();
    void routeFiles();
    void routeControl();
    void routeForeign();

    // The reply to the client's password login; a success issues a session token.
    std::string loginReply(const std::string &userName, const std::string &password);
    // The viewer of a page: the session cookie's account, if any.
    Pages::Viewer viewer(const httplib::Request &req) const;
    // Hands the session to the browser (a cookie) and shows the start page.
    void openSession(const httplib::Request &req, httplib::Response &res, const std::string &token);
    // The answer to a page request without a valid session: off to the login page.
    static void sessionExpired(const httplib::Request &req, httplib::Response &res);
    void sendBigFile(const httplib::Request &req, httplib::Response &res);

    Config m_config;
    std::unique_ptr<SelfSignedCertificate> m_certificate;
    std::unique_ptr<httplib::Server> m_server;
    SessionStore m_sessions;
    QrTickets m_tickets;
    Pacing m_pacing;
    std::string m_planPdf;
    std::string m_error;
};
