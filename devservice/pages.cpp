// SPDX-License-Identifier: MIT
#include "devservice/pages.h"

#include "devservice/downloads.h"
#include "devservice/httputil.h"

#include <QByteArray>

namespace Pages {

namespace {

const char Style[] = R"css(
* { box-sizing: border-box; }
body { margin: 0; background: #f0f4fa; color: #333; font-size: 14px;
       font-family: "Microsoft YaHei", "微软雅黑", "Noto Sans CJK SC", sans-serif; }
a { color: #1e6fd9; text-decoration: none; }
a:hover { text-decoration: underline; }
.top { height: 56px; background: #1e6fd9; color: #fff; display: flex; align-items: center;
       padding: 0 24px; }
.brand { flex: 1; font-size: 20px; font-weight: bold; letter-spacing: 1px; }
.brand small { font-size: 13px; font-weight: normal; margin-left: 10px; opacity: 0.8; }
.user { font-size: 14px; }
.frame { display: flex; min-height: calc(100vh - 56px); }
.menu { width: 176px; background: #fff; border-right: 1px solid #dde5f0; padding-top: 12px; }
.menu a { display: block; padding: 12px 24px; color: #333; font-size: 15px; }
.menu a.active { background: #e8f0fc; color: #1e6fd9; border-left: 4px solid #1e6fd9;
                 padding-left: 20px; }
.content { flex: 1; padding: 20px 24px; }
.card { background: #fff; border: 1px solid #dde5f0; border-radius: 6px; padding: 16px 20px;
        margin-bottom: 16px; }
.card h2 { margin: 0 0 12px; font-size: 16px; color: #1e6fd9; }
.welcome { font-size: 18px; margin: 0 0 4px; }
.muted { color: #888; font-size: 13px; }
.tiles { display: flex; flex-wrap: wrap; }
.tile { display: block; width: 132px; height: 76px; margin: 0 12px 12px 0; padding: 14px;
        border-radius: 6px; color: #fff; font-size: 15px; }
.tile:hover { text-decoration: none; }
.tile span { display: block; margin-top: 6px; font-size: 12px; color: #fff; }
.list { list-style: none; margin: 0; padding: 0; }
.list li { display: flex; padding: 9px 0; border-bottom: 1px dashed #e1e7f0; }
.list li:last-child { border-bottom: none; }
.list .title { flex: 1; }
.list a + a { margin-left: 16px; }
table { border-collapse: collapse; width: 100%; }
th, td { border: 1px solid #dde5f0; padding: 7px 10px; text-align: left; }
th { background: #f5f8fd; color: #555; font-weight: normal; }
.btn { display: inline-block; background: #1e6fd9; color: #fff; border: none; border-radius: 4px;
       padding: 8px 18px; font-size: 14px; cursor: pointer; }
.btn:hover, .act:hover { text-decoration: none; }
.act { display: inline-block; padding: 5px 12px; margin-right: 8px; border: none; border-radius: 4px;
       color: #fff; font-size: 13px; cursor: pointer; }
.act.detail { background: #5b6bd6; }
.act.export { background: #e8710a; }
.act.attendance { background: #2e9e6b; }
form.inline { display: inline; }
label { display: block; margin: 10px 0 4px; color: #555; }
input[type=text], input[type=password], select { width: 280px; padding: 7px 8px;
       border: 1px solid #c8d3e3; border-radius: 4px; font-size: 14px; }
.narrow { max-width: 560px; margin: 40px auto; }
.ok { color: #0f9d58; }
.dl { display: inline-block; min-width: 190px; margin-right: 16px; padding: 10px 16px; border: none;
      border-radius: 4px; color: #fff; font-size: 14px; text-align: center; cursor: pointer; }
.dl:hover { text-decoration: none; }
.footer { text-align: center; color: #99a; font-size: 12px; padding: 12px 0 18px; }
)css";

struct MenuEntry
{
    Menu menu;
    const char *label;
    const char *href;
};

const MenuEntry MenuEntries[] = {
    {Menu::Home, "首页", "/orvane/index?menuId=1"},
    {Menu::Notices, "通知公告", "/orvane/index?menuId=2"},
    {Menu::Teaching, "教务管理", "/orvane/index?menuId=3"},
    // The same address the floating tool's classroom button opens.
    {Menu::Classroom, "我的课堂", "/orvane/index?menuId=4&tag=2"},
    {Menu::Office, "人事办公", "/orvane/index?menuId=5"},
    {Menu::Apps, "应用中心", "/orvane/index?menuId=6"},
};

struct ClassInfo
{
    const char *id;
    const char *name;
    const char *room;
    const char *time;
};

const ClassInfo Classes[] = {
    {"301", "初二（1）班", "教学楼 301", "周一、周三 第二节"},
    {"302", "初二（2）班", "教学楼 302", "周二、周四 第三节"},
};

std::string document(const std::string &title, const std::string &body)
{
    return "<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n<title>"
        + htmlEscape(title) + "</title>\n<style>" + Style + "</style>\n</head>\n<body>\n" + body
        + "</body>\n</html>\n";
}

std::string userLabel(const Viewer &viewer)
{
    if (!viewer.account)
        return {};
    return htmlEscape(viewer.account->displayName) + "（" + htmlEscape(viewer.account->userName)
        + "）";
}

// The platform's frame: the blue bar, the menu and the content.
std::string framed(const Viewer &viewer, Menu active, const std::string &title,
                   const std::string &content)
{
    std::string menu;
    for (const MenuEntry &entry : MenuEntries) {
        menu += std::string("<a href=\"") + htmlEscape(entry.href) + "\""
            + (entry.menu == active ? " class=\"active\"" : "") + ">" + entry.label + "</a>\n";
    }
    return document(title + " - 智慧校园公共云平台",
                    "<div class=\"top\"><div class=\"brand\">智慧校园公共云平台<small>Orvane "
                    "演示服务</small></div><div class=\"user\">"
                        + userLabel(viewer)
                        + "</div></div>\n<div class=\"frame\">\n<div class=\"menu\">\n" + menu
                        + "</div>\n<div class=\"content\">\n" + content
                        + "<div class=\"footer\">本页面由 Orvane 演示服务生成，数据均为示例</div>\n"
                          "</div>\n</div>\n");
}

// A page outside the platform's frame, centred (forms opened in the desktop browser).
std::string plain(const std::string &title, const std::string &content)
{
    return document(title,
                    "<div class=\"top\"><div class=\"brand\">智慧校园公共云平台</div></div>\n"
                    "<div class=\"narrow\">\n"
                        + content + "</div>\n");
}

std::string officePreview(const Viewer &viewer, const std::string &path)
{
    return "https://view.officeapps.live.com/op/view.aspx?src="
        + HttpUtil::percentEncode(viewer.baseUrl + "upload/notice/" + path);
}

std::string noticeList(const Viewer &viewer)
{
    std::string items;
    for (const NoticeFile &file : noticeFiles()) {
        const std::string href = "/upload/notice/" + file.path;
        items += "<li><span class=\"title\">" + htmlEscape(file.title) + "</span><a href=\""
            + htmlEscape(href) + "\">附件下载</a><a href=\""
            + htmlEscape(officePreview(viewer, file.path)) + "\">在线预览</a></li>\n";
    }
    return "<ul class=\"list\">\n" + items + "</ul>\n";
}

std::string tile(const char *colour, const std::string &href, const char *label, const char *hint)
{
    return std::string("<a class=\"tile\" style=\"background:") + colour + "\" href=\""
        + htmlEscape(href) + "\">" + label + "<span>" + hint + "</span></a>\n";
}

std::string studentExportHref(const char *classId)
{
    return std::string("/exam/exportStudent.action?classId=") + classId + "&format=csv";
}

std::string attendanceForm(const char *classId)
{
    return std::string("<form class=\"inline\" method=\"post\" "
                       "action=\"/orvane/attendance/classAttendanceListExport\">"
                       "<input type=\"hidden\" name=\"classId\" value=\"")
        + classId
        + "\"><select name=\"month\" style=\"width:auto\"><option value=\"2024-10\">2024 年 10 "
          "月</option><option value=\"2024-11\">2024 年 11 月</option></select> "
          "<button class=\"act attendance\" type=\"submit\">导出考勤表</button></form>";
}

std::string subsystemHref(const Viewer &viewer, const char *path)
{
    return std::string(path) + "?token=" + HttpUtil::percentEncode(viewer.token);
}

} // namespace

std::string htmlEscape(const std::string &text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

bool isMenu(int menuId)
{
    return menuId >= static_cast<int>(Menu::Home) && menuId <= static_cast<int>(Menu::Apps);
}

std::string home(const Viewer &viewer)
{
    const std::string name = viewer.account ? htmlEscape(viewer.account->displayName) : "老师";
    const std::string subject =
        viewer.account ? htmlEscape(viewer.account->subject) + "教师 · " : std::string();
    std::string content = "<div class=\"card\"><p class=\"welcome\">" + name
        + "，您好！欢迎使用智慧校园公共云平台。</p><p class=\"muted\">" + subject
        + "本学期共 2 个教学班，本周有 3 条新通知。</p></div>\n";
    // Each tile's colour appears nowhere else on the page: the end-to-end tests find the
    // tiles by it, as a person finds them by their look.
    content += "<div class=\"card\"><h2>常用功能</h2><div class=\"tiles\">\n"
        + tile("#2b7de9", "/orvane/index?menuId=4&tag=2", "我的课堂", "班级与考勤")
        + tile("#e8710a", studentExportHref("301"), "导出学生名单", "初二（1）班")
        + tile("#0f9d58", "/orvane/user/import/teacher", "导入教师", "批量导入")
        + tile("#12a4a4", "/orvane/user/import/student", "导入学生", "批量导入")
        + tile("#8e44ad", "/orvane/oa/salary/exportSalaryTemplate", "工资模板", "下载模板")
        + tile("#d93025", subsystemHref(viewer, "/dede/dedeLogin"), "德育管理", "进入子系统")
        + tile("#c98a00", subsystemHref(viewer, "/zari/zariLogin"), "智慧作业", "进入子系统")
        + tile("#795548", "/orvane/files", "文件下载", "各类下载")
        + tile("#3f51b5", "/orvane/modern", "现代网页", "内核检查")
        + tile("#37474f", "/orvane/desktop", "桌面功能", "通知与剪贴板")
        + (viewer.attackPage ? tile("#455a64", "/orvane/attack", "外链检查", "安全测试") : "")
        + "</div></div>\n";
    content += "<div class=\"card\"><h2>通知公告</h2>\n" + noticeList(viewer) + "</div>\n";
    return framed(viewer, Menu::Home, "首页", content);
}

std::string menuPage(const Viewer &viewer, Menu menu)
{
    std::string content;
    switch (menu) {
    case Menu::Home:
        return home(viewer);
    case Menu::Notices:
        content = "<div class=\"card\"><h2>通知公告</h2>\n" + noticeList(viewer)
            + "<p class=\"muted\">附件在浏览器中下载；在线预览使用 Office 在线查看器。</p></div>\n";
        return framed(viewer, menu, "通知公告", content);
    case Menu::Teaching:
        content = "<div class=\"card\"><h2>学生名册</h2><ul class=\"list\">\n";
        for (const ClassInfo &info : Classes) {
            content += std::string("<li><span class=\"title\">") + info.name + "</span><a href=\""
                + htmlEscape(studentExportHref(info.id)) + "\">导出学生名单</a></li>\n";
        }
        content += "</ul></div>\n<div class=\"card\"><h2>学生导入</h2><p>新学期学生信息请 <a "
                   "href=\"/orvane/user/import/student\">批量导入学生</a>。</p></div>\n";
        return framed(viewer, menu, "教务管理", content);
    case Menu::Classroom:
        content = "<div class=\"card\"><h2>我的课堂</h2><table>\n<tr><th>班级</th><th>教室</th>"
                  "<th>上课时间</th><th>操作</th></tr>\n";
        for (const ClassInfo &info : Classes) {
            content += std::string("<tr><td>") + info.name + "</td><td>" + info.room + "</td><td>"
                + info.time
                + "</td><td><a class=\"act detail\" href=\"/orvane/classroom/detail?classId="
                + info.id + "\" target=\"_blank\">课堂详情</a><a class=\"act export\" href=\""
                + htmlEscape(studentExportHref(info.id)) + "\">导出学生名单</a>"
                + attendanceForm(info.id) + "</td></tr>\n";
        }
        content += "</table></div>\n";
        return framed(viewer, menu, "我的课堂", content);
    case Menu::Office:
        content = "<div class=\"card\"><h2>人事办公</h2><ul class=\"list\">\n"
                  "<li><span class=\"title\">教师信息批量导入</span><a "
                  "href=\"/orvane/user/import/teacher\">导入教师</a></li>\n"
                  "<li><span class=\"title\">工资条导入模板</span><a "
                  "href=\"/orvane/oa/salary/exportSalaryTemplate\">下载模板</a></li>\n"
                  "</ul></div>\n";
        return framed(viewer, menu, "人事办公", content);
    case Menu::Apps:
        content = "<div class=\"card\"><h2>应用中心</h2><div class=\"tiles\">\n"
            + tile("#d93025", subsystemHref(viewer, "/dede/dedeLogin"), "德育管理", "进入子系统")
            + tile("#c98a00", subsystemHref(viewer, "/zari/zariLogin"), "智慧作业", "进入子系统")
            + "</div></div>\n";
        return framed(viewer, menu, "应用中心", content);
    }
    return home(viewer);
}

std::string classroomDetail(const Viewer &viewer, const std::string &classId)
{
    const ClassInfo *info = &Classes[0];
    for (const ClassInfo &candidate : Classes) {
        if (classId == candidate.id)
            info = &candidate;
    }
    const Download roster = studentExport(info->id);
    std::string rows;
    // The roster CSV is the single source of the names: skip its header line.
    size_t pos = roster.body.find('\n') + 1;
    while (pos < roster.body.size()) {
        const size_t end = roster.body.find('\n', pos);
        const std::string line = roster.body.substr(pos, end - pos);
        const size_t a = line.find(',');
        const size_t b = line.find(',', a + 1);
        rows += "<tr><td>" + htmlEscape(line.substr(0, a)) + "</td><td>"
            + htmlEscape(line.substr(a + 1, b - a - 1)) + "</td></tr>\n";
        pos = end + 1;
    }
    const std::string content = std::string("<div class=\"card\"><h2>") + info->name
        + " 课堂详情</h2><p class=\"muted\">" + info->room + " · " + info->time
        + "</p><table>\n<tr><th>学号</th><th>姓名</th></tr>\n" + rows
        + "</table><p><a href=\"/orvane/index?menuId=4&amp;tag=2\">返回我的课堂</a></p></div>\n";
    return framed(viewer, Menu::Classroom, "课堂详情", content);
}

std::string subsystem(const Viewer &viewer, const std::string &which)
{
    const bool dede = which == "dede";
    const std::string title = dede ? "德育管理系统" : "智慧作业系统";
    const std::string content = "<div class=\"card\"><h2>" + title
        + "</h2><p>已通过平台统一身份登录" + (viewer.account ? "：" + userLabel(viewer) : "")
        + "。</p><p class=\"muted\">"
        + (dede ? "本周班级德育评分、主题班会记录与家校沟通。" : "布置作业、批改作业与学情分析。")
        + "</p><p><a href=\"/orvane/index?menuId=1\">返回平台首页</a></p></div>\n";
    return framed(viewer, Menu::Apps, title, content);
}

// Colours, one per clickable element, for finding them on a screenshot:
//   #c2185b 作业.docx (attachment, UTF-8 name)   #558b2f data.bin (no Content-Disposition)
//   #00897b big.zip (slow, for cancelling)       #7b1fa2 the Blob button
//   #283593 the data: URL link                   #d84315 plan.pdf (inline)
//   plan.pdf embedded in a frame too
//   #546e7a back to the start page
std::string files()
{
    const auto row = [](const char *what, const std::string &element) {
        return "<li><span class=\"title\">" + std::string(what) + "</span>" + element + "</li>\n";
    };
    const std::string grades = QByteArray::fromStdString(gradesCsv()).toBase64().toStdString();
    const std::string list = row("附件（UTF-8 文件名）",
                                 "<a class=\"dl\" style=\"background:#c2185b\" "
                                 "href=\"/files/homework.docx\">作业.docx</a>")
        + row("无法显示的类型",
              "<a class=\"dl\" style=\"background:#558b2f\" href=\"/files/data.bin\">data.bin</a>")
        + row("大文件（慢速）",
              "<a class=\"dl\" style=\"background:#00897b\" href=\"/files/big.zip\">big.zip</a>")
        + row("脚本生成（Blob）",
              "<button class=\"dl\" style=\"background:#7b1fa2\" type=\"button\" id=\"blobButton\">"
              "生成名单.csv</button><a id=\"blobLink\" download=\"名单.csv\" "
              "style=\"display:none\"></a>")
        + row("data: 地址",
              "<a class=\"dl\" style=\"background:#283593\" download=\"成绩.csv\" "
              "href=\"data:text/csv;base64,"
                  + grades + "\">成绩.csv</a>")
        + row("在线查看（PDF）",
              "<a class=\"dl\" style=\"background:#d84315\" href=\"/files/plan.pdf\">plan.pdf</a>")
        + row("嵌入页面（PDF）",
              "<iframe src=\"/files/plan.pdf\" style=\"width:360px;height:120px;border:0\">"
              "</iframe>");
    // ES5, as the oldest engine the client runs understands.
    const char script[] = R"js(<script>
(function () {
    var lastUrl = null;
    document.getElementById('blobButton').onclick = function () {
        var rows = ['学号,姓名,班级', '20240301,陈一鸣,初二（1）班', '20240302,林思涵,初二（1）班',
                    '20240303,周子轩,初二（1）班'];
        var blob = new Blob(['\ufeff' + rows.join('\r\n') + '\r\n'], { type: 'text/csv' });
        if (lastUrl)
            URL.revokeObjectURL(lastUrl);
        lastUrl = URL.createObjectURL(blob);
        var link = document.getElementById('blobLink');
        link.href = lastUrl;
        link.click();
    };
})();
</script>
)js";
    return plain("文件下载",
                 "<div class=\"card\"><h2>文件下载</h2><ul class=\"list\">\n" + list
                     + "</ul><p><a class=\"dl\" style=\"background:#546e7a\" "
                       "href=\"/orvane/index?menuId=1\">返回平台首页</a></p></div>\n"
                     + script);
}

// Colours: #9c27b0 the notification button, #f4511e the copy button, #00695c the player that
// asks for the full screen, #827717 the camera button (#1b5e20 and #0d47a1 once it has the camera).
std::string desktopFeatures()
{
    // ES5, as the oldest engine the client runs understands.
    // QtWebKit stretches only a <video> to the full screen by itself.
    const char script[] = R"js(<style>
#player:-webkit-full-screen { width: 100% !important; height: 100% !important; }
</style>
<script>
(function () {
    function $(id) { return document.getElementById(id); }
    function say(text) { $('status').textContent = text; }
    var opened = 0;
    $('notify').onclick = function () {
        if (!window.Notification)
            return say('此内核不支持通知');
        Notification.requestPermission(function (answer) {
            say('通知权限：' + answer);
            if (answer === 'granted')
                new Notification('课程调整', { body: '明天第三节课改在 302 教室' });
        });
    };
    $('copy').onclick = function () {
        var text = $('code').textContent, area = document.createElement('textarea');
        if (navigator.clipboard)
            return navigator.clipboard.writeText(text).then(function () { say('已复制'); },
                function (error) { say('无法复制：' + error.message); });
        area.value = text;
        document.body.appendChild(area);
        area.select();
        say(document.execCommand('copy') ? '已复制' : '无法复制');
        document.body.removeChild(area);
    };
    $('player').onclick = function () {
        var player = $('player');
        (player.requestFullscreen || player.webkitRequestFullscreen).call(player);
    };
    $('camera').onclick = function () {
        if (!navigator.mediaDevices)
            return say('此内核不支持摄像头');
        navigator.mediaDevices.getUserMedia({ video: true, audio: true }).then(function () {
            // Green the first time, blue the next: a test tells them apart.
            $('camera').style.background = ++opened % 2 ? '#1b5e20' : '#0d47a1';
            say('摄像头已打开');
        }, function (error) { say('无法打开摄像头：' + error.name); });
    };
})();
</script>
)js";
    return plain(
        "桌面功能",
        "<div class=\"card\"><h2>桌面功能</h2><p>邀请码 <b id=\"code\">ORV-2024-0301</b></p>"
        "<p><button class=\"dl\" style=\"background:#9c27b0\" id=\"notify\">发送通知</button> "
        "<button class=\"dl\" style=\"background:#f4511e\" id=\"copy\">复制邀请码</button> "
        "<button class=\"dl\" style=\"background:#827717\" id=\"camera\">打开摄像头</button></p>"
        "<div id=\"player\" style=\"background:#00695c;width:320px;height:180px\"></div>"
        "<p class=\"muted\" id=\"status\">单击绿色画面全屏播放，按 Esc 退出</p></div>\n"
            + std::string(script));
}

std::string importPage(const std::string &kind, bool submitted)
{
    const std::string who = kind == "teacher" ? "教师" : "学生";
    if (submitted) {
        return plain(
            "批量导入" + who,
            "<div class=\"card\"><h2>批量导入" + who
                + "</h2><p class=\"ok\">已收到文件。演示服务不保存导入的数据。</p></div>\n");
    }
    return plain("批量导入" + who,
                 "<div class=\"card\"><h2>批量导入" + who
                     + "</h2><form method=\"post\" enctype=\"multipart/form-data\" "
                       "action=\"/orvane/user/import/"
                     + kind
                     + "\"><label>选择 Excel 或 CSV 文件</label><input type=\"file\" name=\"file\">"
                       "<p><button class=\"btn\" type=\"submit\">开始导入</button></p></form>"
                       "<p class=\"muted\">每行一名"
                     + who + "：工号或学号、姓名、手机号。</p></div>\n");
}

std::string resetPassword(bool submitted)
{
    if (submitted) {
        return plain("找回密码",
                     "<div class=\"card\"><h2>找回密码</h2><p>演示账号的密码是固定的，"
                     "请使用 Orvane 演示服务启动时列出的密码登录。</p></div>\n");
    }
    return plain(
        "找回密码",
        "<div class=\"card\"><h2>找回密码</h2><form method=\"post\" action=\"/orvane/resetPsd\">"
        "<label>手机号</label><input type=\"text\" name=\"phone\" placeholder=\"请输入11位手机号\">"
        "<label>短信验证码</label><input type=\"text\" name=\"code\">"
        "<label>新密码</label><input type=\"password\" name=\"password\">"
        "<p><button class=\"btn\" type=\"submit\">重置密码</button></p></form></div>\n");
}

std::string registerAccount(bool submitted)
{
    if (submitted) {
        return plain("注册账号",
                     "<div class=\"card\"><h2>注册账号</h2><p>演示服务不开放注册，"
                     "请使用演示账号登录。</p></div>\n");
    }
    return plain(
        "注册账号",
        "<div class=\"card\"><h2>注册账号</h2><form method=\"post\" "
        "action=\"/orvane/login?type=register\">"
        "<label>手机号</label><input type=\"text\" name=\"phone\" placeholder=\"请输入11位手机号\">"
        "<label>姓名</label><input type=\"text\" name=\"name\">"
        "<label>学校</label><input type=\"text\" name=\"school\">"
        "<label>密码</label><input type=\"password\" name=\"password\">"
        "<p><button class=\"btn\" type=\"submit\">注册</button></p></form></div>\n");
}

std::string confirmPage(const std::string &ticket)
{
    std::string buttons;
    for (const DemoAccount &account : demoAccounts()) {
        buttons += "<p><button class=\"btn\" type=\"submit\" name=\"account\" value=\""
            + htmlEscape(account.userName) + "\">以 " + htmlEscape(account.displayName) + "（"
            + htmlEscape(account.userName) + "）身份确认登录</button></p>\n";
    }
    return plain("扫码登录确认",
                 "<div class=\"card\"><h2>Orvane 手机版 · 扫码登录</h2><p>电脑上的 Orvane "
                 "正在请求登录。确认后，电脑端将以所选账号进入平台。</p>"
                 "<form method=\"get\" action=\"/orvane/qrcode/confirm\"><input type=\"hidden\" "
                 "name=\"ticket\" value=\""
                     + htmlEscape(ticket) + "\">\n" + buttons
                     + "</form><p class=\"muted\">二维码编号 " + htmlEscape(ticket)
                     + "</p></div>\n");
}

std::string confirmDone(const DemoAccount &account)
{
    return plain("扫码登录确认",
                 "<div class=\"card\"><h2>Orvane 手机版 · 扫码登录</h2><p class=\"ok\">已确认，"
                     + htmlEscape(account.displayName) + " 将在电脑端登录。</p></div>\n");
}

std::string overview(const std::string &baseUrl)
{
    std::string accounts;
    for (const DemoAccount &account : demoAccounts()) {
        accounts += "<tr><td>" + htmlEscape(account.userName) + "</td><td><code>"
            + htmlEscape(account.password) + "</code></td><td>" + htmlEscape(account.displayName)
            + "（" + htmlEscape(account.subject) + "）</td></tr>\n";
    }
    const std::string confirm =
        baseUrl + "orvane/qrcode/confirm?ticket=latest&account=" + demoAccounts().front().userName;
    return plain(
        "Orvane 演示服务",
        "<div class=\"card\"><h2>Orvane 演示服务</h2><p>本服务在本机模拟智慧校园公共云平台，"
        "供 Orvane "
        "客户端试用与测试。</p><table>\n<tr><th>用户名</th><th>密码</th><th>教师</th></tr>\n"
            + accounts
            + "</table><p>扫码登录：打开登录窗口后，点击 <a "
              "href=\"/orvane/qrcode/confirm?ticket=latest\">"
              "确认最新的二维码</a>，或在命令行执行<br><code>curl '"
            + htmlEscape(confirm) + "'</code></p></div>\n");
}

std::string message(const std::string &title, const std::string &text)
{
    return plain(title,
                 "<div class=\"card\"><h2>" + htmlEscape(title) + "</h2><p>" + htmlEscape(text)
                     + "</p></div>\n");
}

} // namespace Pages
