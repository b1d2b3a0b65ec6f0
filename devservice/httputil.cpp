// SPDX-License-Identifier: MIT
#include "devservice/httputil.h"

#include <httplib.h>

namespace HttpUtil {

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
    return "http://" + (host.empty() ? std::string("127.0.0.1") : host) + "/";
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

std::string logLine(const httplib::Request &req, const httplib::Response &res)
{
    return req.method + ' ' + req.target + ' ' + std::to_string(res.status);
}

} // namespace HttpUtil
