// SPDX-License-Identifier: MIT
#pragma once

#include <string>

// "orvane/modern": a page of today's web features, each checked by script, with a band at the
// top that turns green when all pass and red when the engine cannot run them.
namespace Pages {

std::string modern();
// "static/modern.mjs", the ES module the page imports: a small reactive store and a class.
std::string modernModule();

} // namespace Pages
