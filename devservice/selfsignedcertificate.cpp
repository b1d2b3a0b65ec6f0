// SPDX-License-Identifier: MIT
#include "devservice/selfsignedcertificate.h"

#include <openssl/ec.h>
#include <openssl/rand.h>
#include <openssl/x509v3.h>

#include <cstdio>

namespace {

constexpr long ValidSeconds = 24 * 60 * 60;

bool addExtension(X509 *certificate, int nid, const char *value)
{
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    X509_EXTENSION *extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    if (!extension)
        return false;
    const bool added = X509_add_ext(certificate, extension, -1) == 1;
    X509_EXTENSION_free(extension);
    return added;
}

bool fill(X509 *certificate, EVP_PKEY *key)
{
    unsigned char serial[16];
    if (RAND_bytes(serial, sizeof serial) != 1)
        return false;
    serial[0] &= 0x7f; // a positive serial number
    BIGNUM *number = BN_bin2bn(serial, sizeof serial, nullptr);
    const bool serialSet =
        number && BN_to_ASN1_INTEGER(number, X509_get_serialNumber(certificate)) != nullptr;
    BN_free(number);

    X509_NAME *name = X509_get_subject_name(certificate);
    const auto text = [](const char *value) {
        return reinterpret_cast<const unsigned char *>(value);
    };
    return serialSet && X509_set_version(certificate, 2) == 1
        && X509_gmtime_adj(X509_getm_notBefore(certificate), 0)
        && X509_gmtime_adj(X509_getm_notAfter(certificate), ValidSeconds)
        && X509_NAME_add_entry_by_txt(name, "O", MBSTRING_UTF8, text("Orvane demo service"), -1, -1,
                                      0)
        == 1
        && X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, text("127.0.0.1"), -1, -1, 0) == 1
        && X509_set_issuer_name(certificate, name) == 1 && X509_set_pubkey(certificate, key) == 1
        && addExtension(certificate, NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost")
        && addExtension(certificate, NID_basic_constraints, "critical,CA:FALSE")
        && addExtension(certificate, NID_key_usage, "critical,digitalSignature")
        && addExtension(certificate, NID_ext_key_usage, "serverAuth")
        && X509_sign(certificate, key, EVP_sha256()) > 0;
}

} // namespace

SelfSignedCertificate::SelfSignedCertificate()
    : m_key(EVP_EC_gen("P-256"))
    , m_certificate(X509_new())
{
    if (!m_key || !m_certificate || !fill(m_certificate.get(), m_key.get()))
        m_certificate.reset();
}

std::string SelfSignedCertificate::sha256Fingerprint() const
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!m_certificate || X509_digest(m_certificate.get(), EVP_sha256(), digest, &length) != 1)
        return {};
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, i ? ":%02X" : "%02X", digest[i]);
        text += hex;
    }
    return text;
}
