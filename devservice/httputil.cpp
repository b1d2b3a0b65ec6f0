// SPDX-License-Identifier: MIT
#include "devservice/httputil.h"

#include <httplib.h>

#include <cstdio>
#include <cstdlib>

#include <dirent.h>
#include <netdb.h>
#include <sys/socket.h>

namespace HttpUtil {

namespace {

// The status a dropped connection is logged with; no answer carries it.
constexpr int Dropped = 0;

bool endpointIs(const sockaddr_storage &address, socklen_t length, const std::string &host,
                int port)
{
    char name[NI_MAXHOST];
    char service[NI_MAXSERV];
    if (getnameinfo(reinterpret_cast<const sockaddr *>(&address), length, name, sizeof name,
                    service, sizeof service, NI_NUMERICHOST | NI_NUMERICSERV)
        != 0) {
        return false;
    }
    return host == name && std::to_string(port) == service;
}

} // namespace

std::string param(const httplib::Request &req, const char *name)
{
    return req.get_param_value(name);
}

std::string cookie(const httplib::Request &req, const std::string &name)
{
    // "Cookie: a=1; b=2"; several headers are allowed too.
    const size_t count = req.get_header_value_count("Cookie");
    for (size_t i = 0; i < count; ++i) {
        const std::string header = req.get_header_value("Cookie", i);
        size_t pos = 0;
        while (pos < header.size()) {
            size_t end = header.find(';', pos);
            if (end == std::string::npos)
                end = header.size();
            size_t start = header.find_first_not_of(' ', pos);
            if (start < end) {
                const std::string pair = header.substr(start, end - start);
                const size_t eq = pair.find('=');
                if (eq != std::string::npos && pair.compare(0, eq, name) == 0)
                    return pair.substr(eq + 1);
            }
            pos = end + 1;
        }
    }
    return {};
}

std::string baseUrl(const httplib::Request &req)
{
    const std::string host = req.get_header_value("Host");
    return (req.ssl ? "https://" : "http://") + (host.empty() ? std::string("127.0.0.1") : host)
        + "/";
}

std::string percentEncode(const std::string &text)
{
    std::string out;
    for (const unsigned char c : text) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'
            || c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        }
    }
    return out;
}

bool wantsHtml(const httplib::Request &req)
{
    return req.get_header_value("Accept").find("text/html") != std::string::npos;
}

void setHtml(httplib::Response &res, const std::string &html, int status)
{
    res.status = status;
    res.set_content(html, "text/html; charset=utf-8");
}

void setJson(httplib::Response &res, const std::string &json)
{
    res.set_content(json, "application/json; charset=utf-8");
}

void setDownload(httplib::Response &res, const std::string &body, const std::string &contentType,
                 const std::string &fileName)
{
    res.set_header("Content-Disposition", "attachment; filename=\"" + fileName + "\"");
    res.set_content(body, contentType + "; charset=utf-8");
}

std::string attachment(const std::string &fileName, const std::string &asciiName)
{
    return "attachment; filename=\"" + asciiName + "\"; filename*=UTF-8''"
        + percentEncode(fileName);
}

int socketOf(const httplib::Request &req)
{
    if (req.ssl)
        return SSL_get_fd(req.ssl);
    // The library keeps a plain connection's descriptor to itself: find the socket with this
    // request's two ends among the process's descriptors.
    DIR *dir = opendir("/proc/self/fd");
    if (!dir)
        return -1;
    int found = -1;
    while (const dirent *entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        const int fd = std::atoi(entry->d_name);
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        if (getpeername(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0
            || !endpointIs(address, length, req.remote_addr, req.remote_port)) {
            continue;
        }
        length = sizeof address;
        if (getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0
            && endpointIs(address, length, req.local_addr, req.local_port)) {
            found = fd;
            break;
        }
    }
    closedir(dir);
    return found;
}

void dropConnection(httplib::Response &res, int socket)
{
    if (socket < 0) {
        // Not found: better a plain refusal than an answer that pretends to be one.
        res.status = 503;
        return;
    }
    // The library still writes its answer, but into a socket shut for writing.
    shutdown(socket, SHUT_RDWR);
    res.status = Dropped;
}

std::string logLine(const httplib::Request &req, const httplib::Response &res)
{
    const std::string status = res.status == Dropped ? "closed" : std::to_string(res.status);
    return req.method + ' ' + req.target + ' ' + status;
}

} // namespace HttpUtil
