// SPDX-License-Identifier: MIT
#pragma once

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>
#include <string>

// A certificate for 127.0.0.1 and localhost, signed by its own EC P-256 key, made at start-up
// and valid for one day: the service's HTTPS needs no files and no trust anywhere.
class SelfSignedCertificate
{
public:
    SelfSignedCertificate();

    // Null when OpenSSL could not make it.
    X509 *certificate() const { return m_certificate.get(); }
    EVP_PKEY *key() const { return m_key.get(); }
    // "AB:CD:..." of the DER form, as browsers show it.
    std::string sha256Fingerprint() const;

private:
    struct Free
    {
        void operator()(X509 *certificate) const { X509_free(certificate); }
        void operator()(EVP_PKEY *key) const { EVP_PKEY_free(key); }
    };

    std::unique_ptr<EVP_PKEY, Free> m_key;
    std::unique_ptr<X509, Free> m_certificate;
};
