// The window's network listeners and what it shows of their clients.
#include "base/local_time.h"
#include "netcontrol/network_config.h"
#include "ui/tform1.h"
#include "web/web_config.h"

namespace vaxo::ui {
namespace {

constexpr std::size_t kRemoteLinesShown = 8;

}  // namespace

// The listeners come from a file of their own beside the settings, so that
// the settings file and the window stay as they are.
void TForm1::StartNetwork() {
    NetworkConfig config;
    WebConfig web;
    if (const auto problem = ReadWindowListeners(program_.Set().ProgramDir, config, web)) {
        ShowErrorMessage(*problem);
        return;
    }
    if (config.Empty() && web.Empty()) {
        return;
    }
    connect(&remoteCounts_, &QTimer::timeout, this,
            [this] { NoteRemote(remoteLog_.Flush(RemoteCommandLog::Clock::now())); });
    remoteCounts_.start(std::chrono::seconds(1));  // each count when its minute is over
    if (!config.Empty()) {
        network_ = std::make_unique<NetworkThread>(
            host_, program_, std::move(config), [this](const std::string& line) {
                host_.Post([this, line] { NoteRemote({{line, true}}); });
            });
        if (const auto problem = network_->Start()) {
            network_.reset();
            ShowErrorMessage("Cannot listen: " + *problem);
            return;
        }
    }
    if (!web.Empty()) {
        StartWeb(std::move(web));
    }
}

// The page's handlers drive the program directly, so they run on the
// window's thread: a short timer lets the page's loop do its work.
void TForm1::StartWeb(WebConfig config) {
    web_ = std::make_unique<WebServer>(webIo_, program_, std::move(config),
                                       [this](const std::string& line) {
                                           NoteRemote({{line, false}});
                                       });
    web_->ShowListeners([this] { return Listening(); });
    web_->ShowLog(&recentLog_);
    if (const auto problem = web_->Start()) {
        web_.reset();
        ShowErrorMessage("The web page cannot start: " + *problem);
        return;
    }
    connect(&webPoll_, &QTimer::timeout, this, [this] {
        webIo_.restart();
        webIo_.poll();
    });
    webPoll_.start(std::chrono::milliseconds(10));
}

void TForm1::StopWeb() {
    webPoll_.stop();
    if (web_) {
        web_->Stop();
        webIo_.restart();
        webIo_.poll();
        web_.reset();
    }
}

// A refusal shows the Error label; its tooltip tells the last few commands
// from the network, below the trouble of the last send.
void TForm1::NoteRemote(const std::vector<RemoteCommandLog::Line>& lines) {
    bool refused = false;
    for (const auto& line : lines) {
        remoteLines_.push_back(QString::fromStdString(line.text));
        recentLog_.Add(LocalStamp(std::chrono::system_clock::now()) + " " + line.text);
        refused = refused || line.refusal;
    }
    while (remoteLines_.size() > kRemoteLinesShown) {
        remoteLines_.pop_front();
    }
    ShowErrorTip();
    if (refused && !sending_) {
        Label11->show();
    }
}

// What the link says of the encoder's memory (sends held, wear) goes below
// the trouble of the last send.
void TForm1::NoteLink(const std::string& text) {
    linkNotice_ = QString::fromStdString(text);
    ShowErrorTip();
    ShowOnAir();
}

void TForm1::ShowErrorTip() {
    QStringList parts;
    if (!sendProblem_.isEmpty()) {
        parts << sendProblem_;
    }
    if (!linkNotice_.isEmpty()) {
        parts << linkNotice_;
    }
    if (!remoteLines_.empty()) {
        parts << QStringList(remoteLines_.begin(), remoteLines_.end()).join('\n');
    }
    Label11->setToolTip(parts.join("\n\n"));
}

}  // namespace vaxo::ui
