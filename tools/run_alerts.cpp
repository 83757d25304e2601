#include "tools/run_alerts.h"

#include <filesystem>

#include "app/alarm_words.h"
#include "base/file_io.h"
#include "platform/private_files.h"
#include "tools/station_label.h"

namespace vaxo::ctl {
namespace {

std::string ReadSmtpPassword(const std::string& file) {
    const std::string path = std::filesystem::absolute(file).string();
    if (const auto why = WhyNotPrivate(path)) {
        throw FileError("--alert-smtp-password-file " + path + ": " + *why +
                        " (chmod 600 it: it holds a secret)");
    }
    const auto text = ReadFileIfExists(path, 4096);
    if (!text) {
        throw FileError("--alert-smtp-password-file " + path + " does not exist");
    }
    std::string password = text->substr(0, text->find_first_of("\r\n"));
    if (password.empty()) {
        throw FileError("--alert-smtp-password-file " + path +
                        " holds no password on its first line");
    }
    return password;
}

std::optional<AlertMail> MailFrom(const ParsedOptions& options) {
    const auto to = options.Values("alert-mail-to");
    const auto server = options.Value("alert-smtp");
    if (to.empty() && !server) {
        for (const char* name :
             {"alert-mail-from", "alert-smtp-user", "alert-smtp-password-file"}) {
            if (options.Has(name)) {
                throw UsageError(std::string("--") + name + " is for --alert-mail-to");
            }
        }
        return std::nullopt;
    }
    if (to.empty() || !server || !options.Has("alert-mail-from")) {
        throw UsageError("mail alerts need --alert-smtp, --alert-mail-from and --alert-mail-to");
    }
    AlertMail mail{*server, *options.Value("alert-mail-from"), to, {}, {}};
    if (const auto why = WhyNoMailServer(mail.server)) {
        throw UsageError("--alert-smtp: " + *why);
    }
    for (const std::string& address : mail.to) {
        if (const auto why = WhyNoMailAddress(address)) {
            throw UsageError("--alert-mail-to: " + *why);
        }
    }
    if (const auto why = WhyNoMailAddress(mail.from)) {
        throw UsageError("--alert-mail-from: " + *why);
    }
    mail.user = options.Value("alert-smtp-user").value_or("");
    const auto passwordFile = options.Value("alert-smtp-password-file");
    if (mail.user.empty() != !passwordFile) {
        throw UsageError("--alert-smtp-user and --alert-smtp-password-file go together");
    }
    if (passwordFile) {
        mail.password = ReadSmtpPassword(*passwordFile);
    }
    return mail;
}

}  // namespace

const std::vector<std::string>& AlertOptionNames() {
    static const std::vector<std::string> names{"alert-webhook",   "alert-smtp",
                                                "alert-mail-from", "alert-mail-to",
                                                "alert-smtp-user", "alert-smtp-password-file"};
    return names;
}

AlertConfig AlertsFrom(const ParsedOptions& options) {
    AlertConfig config;
    for (const std::string& url : options.Values("alert-webhook")) {
        if (const auto why = WhyNoWebhook(url)) {
            throw UsageError("--alert-webhook: " + *why);
        }
        config.webhooks.push_back(url);
    }
    config.mail = MailFrom(options);
    if (!config.Empty() && !AlertsBuiltIn()) {
        throw UsageError("this build delivers no alerts (it has no libcurl)");
    }
    return config;
}

RunAlerts::RunAlerts(CoreHost& host, ControlProgram& program, RunLog& log,
                     const AlertConfig& config)
    : host_(host), program_(program), log_(log) {
    if (config.Empty()) {
        return;
    }
    sender_ = std::make_unique<AlertSender>(
        config, MakeCurlTransport(config),
        [this, alive = std::weak_ptr<bool>(alive_)](const AlertReport& report) {
            host_.Post([this, alive, report] {
                if (!alive.expired()) {
                    Reported(report);
                }
            });
        });
    listening_ = program_.Listen([this](const ProgramEvent& event) { Heard(event); });
}

RunAlerts::~RunAlerts() {
    Stop();
}

void RunAlerts::Stop() {
    listening_.Remove();
    if (!sender_) {
        return;
    }
    if (const std::size_t waiting = sender_->Stop()) {
        log_.Error(std::to_string(waiting) + " alert deliveries still waited at the end: dropped");
    }
    sender_.reset();
    alive_.reset();
}

void RunAlerts::Heard(const ProgramEvent& event) {
    const auto* changed = std::get_if<AlarmChanged>(&event);
    if (changed && changed->entry.what != AlarmEntry::What::Acknowledged) {
        sender_->Send({changed->entry, StationLabel(program_.View())});
    }
}

void RunAlerts::Reported(const AlertReport& report) {
    const std::string what = DescribeAlarmEntry(report.alert.entry);
    const AlarmKey failing{AlarmKind::AlertsFailing, report.target};
    const Origin sender{Origin::Kind::Program, "alerts"};
    switch (report.what) {
        case AlertReport::What::Delivered:
            log_.Note("alert delivered to " + report.target + ": " + what);
            static_cast<void>(program_.Execute({sender, ReportCondition{failing}}));
            return;
        case AlertReport::What::WillRetry:
            log_.Error("alert to " + report.target + " not delivered (attempt " +
                       std::to_string(report.attempts) + ": " + report.why + "), tried again in " +
                       std::to_string(report.next.count()) + " s: " + what);
            break;
        case AlertReport::What::GaveUp:
            log_.Error("alert to " + report.target + " given up after " +
                       std::to_string(report.attempts) + " attempts (" + report.why + "): " + what);
            break;
        case AlertReport::What::Dropped:
            log_.Error("too many alerts waiting: the oldest " + report.target + " given up");
            return;
    }
    static_cast<void>(
        program_.Execute({sender, ReportCondition{failing, "not delivered: " + report.why}}));
}

}  // namespace vaxo::ctl
