// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace httplib {
struct Request;
struct Response;
} // namespace httplib

namespace HttpUtil {

// A query or form value, already percent-decoded; empty when absent.
std::string param(const httplib::Request &req, const char *name);
// A cookie the client sent, or empty.
std::string cookie(const httplib::Request &req, const std::string &name);
// The base URL the client reached us by ("http://<Host>/", "https://" over TLS).
std::string baseUrl(const httplib::Request &req);
// Every byte but RFC 3986's unreserved characters as %XX.
std::string percentEncode(const std::string &text);
// A browser rather than a command-line client.
bool wantsHtml(const httplib::Request &req);

void setHtml(httplib::Response &res, const std::string &html, int status = 200);
void setJson(httplib::Response &res, const std::string &json);
// A download: UTF-8 text with a file name the browser proposes.
void setDownload(httplib::Response &res, const std::string &body, const std::string &contentType,
                 const std::string &fileName);
// "attachment" with a UTF-8 file name (RFC 6266), and asciiName for clients that read only
// the plain parameter.
std::string attachment(const std::string &fileName, const std::string &asciiName);

// The descriptor of the request's connection, or -1.
int socketOf(const httplib::Request &req);
// Closes the connection without an answer, as a stalled server's client finally sees it;
// logged as "closed".
void dropConnection(httplib::Response &res, int socket);

// "GET /orvane/main?token=... 200", or "... closed" for a dropped connection.
std::string logLine(const httplib::Request &req, const httplib::Response &res);

} // namespace HttpUtil
