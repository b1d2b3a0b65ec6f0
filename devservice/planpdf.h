// SPDX-License-Identifier: MIT
#pragma once

#include <string>

// A one-page PDF for the download page's inline document; needs a QGuiApplication (fonts).
std::string planPdf();
