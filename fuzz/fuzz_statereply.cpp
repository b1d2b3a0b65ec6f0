// SPDX-License-Identifier: MIT
// The QR-code login's state reply, read from any body the network may bring.
#include "fuzz/fuzzcheck.h"
#include "net/replyenvelope.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzCheck::silenceQtLog(); // parseStateReply logs every reply it reads
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = decodeReplyBody(FuzzCheck::bytes(data, size));
    const QString untouched = QStringLiteral("\x01untouched");
    QString userName = untouched;
    QString passWord = untouched;
    const int status = parseStateReply(text, userName, passWord);

    if (!parseReplyObject(text))
        FuzzCheck::require(status == 0, "anything but a JSON object gives status 0");
    if (status != 1) {
        FuzzCheck::require(userName == untouched && passWord == untouched,
                           "only status 1 sets the credentials");
    } else {
        FuzzCheck::require(userName != untouched && passWord != untouched,
                           "status 1 sets both credentials");
    }
    return 0;
}
