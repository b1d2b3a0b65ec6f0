// SPDX-License-Identifier: MIT
#pragma once

#include "devservice/accounts.h"

#include <string>

// The demo platform's web pages: UTF-8 HTML in the platform's blue and white, with the
// links and forms whose handling the main window decides (browser or view).
namespace Pages {

// Who is looking and how they reached us.
struct Viewer
{
    std::string baseUrl; // "http://<host>/"
    const DemoAccount *account = nullptr;
    std::string token;       // the session, for the subsystem links
    bool attackPage = false; // "orvane/attack" exists: the start page links to it
};

// Menu entries of "orvane/index?menuId=": the start page is 1, the classroom 4.
enum class Menu { Home = 1, Notices = 2, Teaching = 3, Classroom = 4, Office = 5, Apps = 6 };
bool isMenu(int menuId);

std::string home(const Viewer &viewer);
std::string menuPage(const Viewer &viewer, Menu menu);
std::string classroomDetail(const Viewer &viewer, const std::string &classId);
// "dedeLogin" and "zariLogin": other systems of the platform, reached with the session.
std::string subsystem(const Viewer &viewer, const std::string &which);

// "orvane/files": one download of each kind the view must handle.
std::string files();

// "orvane/desktop": what a page asks of the desktop (a notification, the clipboard, full
// screen, the camera).
std::string desktopFeatures();

// Import pages, normally opened in the desktop browser.
std::string importPage(const std::string &kind, bool submitted);
std::string resetPassword(bool submitted);
std::string registerAccount(bool submitted);

// The "phone" side of the QR-code login.
std::string confirmPage(const std::string &ticket);
std::string confirmDone(const DemoAccount &account);

// The service's own front page, for a person who opens it in a browser.
std::string overview(const std::string &baseUrl);

// A short page for errors and expired sessions.
std::string message(const std::string &title, const std::string &text);

std::string htmlEscape(const std::string &text);

} // namespace Pages
