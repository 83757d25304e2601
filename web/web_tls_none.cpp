#include "web/certificate_ends.h"
#include "web/web_tls.h"

namespace vaxo {

bool WebTlsBuiltIn() {
    return false;
}

std::optional<std::chrono::system_clock::time_point> CertificateFileEnds(const std::string&) {
    return std::nullopt;
}

std::variant<std::shared_ptr<void>, std::string> MakeTlsContext(const std::string&,
                                                                const std::string&) {
    return std::string("this build serves no HTTPS");
}

void StartTlsConnection(const std::shared_ptr<HttpServer::Shared>&, boost::asio::ip::tcp::socket,
                        HttpPeer) {}

}  // namespace vaxo
