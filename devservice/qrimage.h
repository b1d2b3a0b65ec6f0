// SPDX-License-Identifier: MIT
#pragma once

#include <string>

// A QR code holding text, as PNG bytes; empty when the text cannot be encoded.
std::string qrCodePng(const std::string &text);
