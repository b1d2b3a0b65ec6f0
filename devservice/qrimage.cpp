// SPDX-License-Identifier: MIT
#include "devservice/qrimage.h"

#include <QBuffer>
#include <QImage>

#include <qrencode.h>

#include <algorithm>
#include <memory>

namespace {

constexpr int ModulePixels = 6;
// The four-module white border that readers need to find the code.
constexpr int QuietModules = 4;

struct QrCodeFree
{
    void operator()(QRcode *code) const { QRcode_free(code); }
};

} // namespace

std::string qrCodePng(const std::string &text)
{
    const std::unique_ptr<QRcode, QrCodeFree> code(
        QRcode_encodeString8bit(text.c_str(), 0, QR_ECLEVEL_M));
    if (!code)
        return {};

    const int modules = code->width + 2 * QuietModules;
    QImage image(modules * ModulePixels, modules * ModulePixels, QImage::Format_Grayscale8);
    image.fill(255);
    for (int y = 0; y < code->width; ++y) {
        for (int x = 0; x < code->width; ++x) {
            // Bit 0 of each module byte: 1 is dark.
            if (!(code->data[y * code->width + x] & 1))
                continue;
            const int left = (x + QuietModules) * ModulePixels;
            const int top = (y + QuietModules) * ModulePixels;
            for (int row = top; row < top + ModulePixels; ++row)
                std::fill_n(image.scanLine(row) + left, ModulePixels, uchar(0));
        }
    }

    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return {};
    return png.toStdString();
}
