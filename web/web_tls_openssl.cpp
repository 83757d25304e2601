#include <boost/asio/ssl.hpp>
#include <boost/beast/ssl.hpp>

#include <openssl/pem.h>
#include <openssl/x509.h>

#include <ctime>

#include "web/certificate_ends.h"
#include "web/http_connection.h"
#include "web/web_tls.h"

namespace vaxo {

namespace ssl = boost::asio::ssl;
using TlsStream = beast::ssl_stream<beast::tcp_stream>;

constexpr const char* kTls12Ciphers =
    "ECDHE-ECDSA-AES128-GCM-SHA256:ECDHE-RSA-AES128-GCM-SHA256:"
    "ECDHE-ECDSA-AES256-GCM-SHA384:ECDHE-RSA-AES256-GCM-SHA384:"
    "ECDHE-ECDSA-CHACHA20-POLY1305:ECDHE-RSA-CHACHA20-POLY1305:"
    "DHE-RSA-AES128-GCM-SHA256:DHE-RSA-AES256-GCM-SHA384:DHE-RSA-CHACHA20-POLY1305";

bool WebTlsBuiltIn() {
    return true;
}

std::optional<std::chrono::system_clock::time_point> CertificateFileEnds(const std::string& path) {
    const std::unique_ptr<BIO, decltype(&BIO_free)> file(BIO_new_file(path.c_str(), "r"), BIO_free);
    if (!file) {
        return std::nullopt;
    }
    const std::unique_ptr<X509, decltype(&X509_free)> certificate(
        PEM_read_bio_X509(file.get(), nullptr, nullptr, nullptr), X509_free);
    std::tm ends{};
    if (!certificate || ASN1_TIME_to_tm(X509_get0_notAfter(certificate.get()), &ends) != 1) {
        return std::nullopt;
    }
    return std::chrono::system_clock::from_time_t(timegm(&ends));
}

std::variant<std::shared_ptr<void>, std::string> MakeTlsContext(const std::string& certificate,
                                                                const std::string& key) {
    auto context = std::make_shared<ssl::context>(ssl::context::tls_server);
    context->set_options(ssl::context::default_workarounds | ssl::context::no_sslv2 |
                         ssl::context::no_sslv3 | ssl::context::no_tlsv1 |
                         ssl::context::no_tlsv1_1 | ssl::context::single_dh_use |
                         SSL_OP_NO_COMPRESSION | SSL_OP_NO_RENEGOTIATION);
    // TLS 1.2 with forward secrecy and authenticated encryption only (as in
    // Mozilla's "intermediate" configuration); TLS 1.3's suites are all so.
    if (SSL_CTX_set_cipher_list(context->native_handle(), kTls12Ciphers) != 1) {
        return std::string("no TLS 1.2 cipher suite of the list is available");
    }
    beast::error_code error;
    context->use_certificate_chain_file(certificate, error);
    if (error) {
        return "--web-cert " + certificate + ": " + error.message();
    }
    context->use_private_key_file(key, ssl::context::pem, error);
    if (error) {
        return "--web-key " + key + ": " + error.message();
    }
    return std::shared_ptr<void>(context);
}

void StartTlsConnection(const std::shared_ptr<HttpServer::Shared>& shared,
                        boost::asio::ip::tcp::socket socket, HttpPeer peer) {
    auto& context = *std::static_pointer_cast<ssl::context>(shared->tls);
    auto connection = std::make_shared<HttpConnection<TlsStream>>(
        shared, TlsStream(beast::tcp_stream(std::move(socket)), context), std::move(peer), true);
    beast::get_lowest_layer(connection->GetStream()).expires_after(HttpServer::kHeadTime);
    connection->GetStream().async_handshake(ssl::stream_base::server,
                                            [connection](beast::error_code error) {
                                                if (error) {
                                                    connection->Close();
                                                } else {
                                                    connection->Read();
                                                }
                                            });
}

}  // namespace vaxo
