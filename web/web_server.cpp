#include "web/web_server.h"

#include "base/file_io.h"
#include "platform/private_files.h"

namespace vaxo {

WebServer::WebServer(boost::asio::io_context& io, ControlProgram& program, WebConfig config,
                     Log log)
    : io_(io), program_(program), config_(std::move(config)), log_(std::move(log)) {}

std::string WebServer::PasswordFile() const {
    return config_.passwordFile.empty() ? program_.View().Folder() + kPasswordFileName
                                        : config_.passwordFile;
}

std::optional<std::string> WebServer::Start() {
    const std::string file = PasswordFile();
    std::optional<WebPasswords> passwords;
    try {
        passwords = ReadPasswordFile(file);
    } catch (const FileError& error) {
        return std::string(error.what());
    }
    if (!passwords) {
        return "no password for the web page in " + file +
               ": set one with \"vaxoctl passwd --file " + file + "\"";
    }
    if (const auto why = WhyNotPrivate(file)) {
        log_("web: " + *why + "; chmod 600 it");
    }
    if (config_.Tls()) {
        if (const auto why = WhyNotPrivate(config_.keyFile)) {
            log_("web: the TLS key: " + *why + "; chmod 600 it");
        }
    }
    app_ = std::make_unique<WebApp>(io_, program_, std::move(*passwords), log_);
    if (listeners_) {
        app_->ShowListeners(listeners_);
    }
    app_->ShowLog(recentLog_);
    http_ = std::make_unique<HttpServer>(io_, *app_, config_, log_);
    if (watch_) {
        http_->WatchListeners(watch_);
    }
    if (auto problem = http_->Start()) {
        http_.reset();
        app_.reset();
        return problem;
    }
    return std::nullopt;
}

void WebServer::Stop() {
    if (http_) {
        http_->Stop();
    }
    if (app_) {
        app_->EndStreams();
    }
}

std::vector<std::string> WebServer::Addresses() const {
    return http_ ? http_->Addresses() : std::vector<std::string>{};
}

void WebServer::ShowListeners(std::function<std::vector<ListenerStatus>()> listeners) {
    listeners_ = std::move(listeners);
    if (app_) {
        app_->ShowListeners(listeners_);
    }
}

void WebServer::ShowLog(const RecentLog* log) {
    recentLog_ = log;
    if (app_) {
        app_->ShowLog(log);
    }
}

}  // namespace vaxo
