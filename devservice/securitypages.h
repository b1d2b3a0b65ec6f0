// SPDX-License-Identifier: MIT
#pragma once

#include <string>

// The pages of the security tests: the platform's "orvane/attack", with every way out to a
// foreign site, and that foreign site's own pages ("--role foreign").
namespace Pages {

// foreignUrl: the foreign site's base, "http://<host>/".
std::string attack(const std::string &foreignUrl);

std::string foreignEvil();
// Tries to take over the page it is framed in.
// What a frame of another site tries once loaded: reports the referrer it was given, clicks a
// platform link the design hands to the desktop browser, saves a file named to land in the
// home folder, and offers a button that writes a login form into a window of its own.
std::string foreignFrame(const std::string &platformUrl);
// What "collect" answers to any request.
std::string foreignCollected();
// A 1x1 PNG of one colour, so a test sees on a screenshot whether it loaded.
std::string foreignPixelPng();

} // namespace Pages
