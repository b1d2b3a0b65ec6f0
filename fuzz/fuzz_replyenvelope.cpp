// SPDX-License-Identifier: MIT
// The service's reply envelope, read from any body the network may bring.
#include "fuzz/fuzzcheck.h"
#include "net/replyenvelope.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = decodeReplyBody(FuzzCheck::bytes(data, size));
    FuzzCheck::require(!text.contains(QChar(0)), "a decoded body stops at the first zero byte");

    const QString untouched = QStringLiteral("\x01untouched");
    QString msg = untouched;
    QString token = untouched;
    const int status = parseReplyEnvelope(text, msg, token);

    if (!parseReplyObject(text)) {
        FuzzCheck::require(status == 0, "anything but a JSON object gives status 0");
        FuzzCheck::require(msg == untouched, "anything but a JSON object leaves msg alone");
    } else {
        FuzzCheck::require(msg != untouched, "an object always sets msg");
    }
    if (status != 1)
        FuzzCheck::require(token == untouched, "only status 1 sets the token");
    return 0;
}
