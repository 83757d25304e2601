// The window's network listeners and web page, and what it shows of their
// clients.
#include "base/local_time.h"
#include "netcontrol/network_config.h"
#include "web/web_config.h"
#include "window/listeners_file.h"
#include "window/window_model.h"

namespace vaxo {
namespace {

constexpr std::size_t kRemoteLinesShown = 8;

}  // namespace

// The listeners come from a file of their own beside the settings, so that
// the settings file and the window stay as they are.
void WindowModel::StartListeners() {
    NetworkConfig config;
    WebConfig web;
    if (const auto problem = ReadWindowListeners(program_.View().Folder(), config, web)) {
        services_.dialogs.ShowError(*problem);
        return;
    }
    if (config.Empty() && web.Empty()) {
        return;
    }
    remoteCounts_ = services_.host.MakeTimer("network counts", [this] {
        NoteRemote(remoteLog_.Flush(RemoteCommandLog::Clock::now()));
        Tell();
    });
    remoteCounts_->Start(std::chrono::seconds(1));  // each count when its minute is over
    if (!config.Empty()) {
        network_ = std::make_unique<NetworkThread>(services_.host, program_, std::move(config),
                                                   [this](const std::string& line) {
                                                       services_.host.Post([this, line] {
                                                           NoteRemote({{line, true}});
                                                           Tell();
                                                       });
                                                   });
        network_->WatchListeners([this](const std::string& listener, const std::string& trouble) {
            services_.host.Post([this, listener, trouble] { ListenerTrouble(listener, trouble); });
        });
        if (const auto problem = network_->Start()) {
            network_.reset();
            services_.dialogs.ShowError("Cannot listen: " + *problem);
            return;
        }
    }
    if (!web.Empty()) {
        StartWeb(std::move(web));
    }
}

// The page's handlers drive the program directly, so they run on the
// window's thread: a short timer lets the page's loop do its work.
void WindowModel::StartWeb(WebConfig config) {
    web_ = std::make_unique<WebServer>(webIo_, program_, std::move(config),
                                       [this](const std::string& line) {
                                           NoteRemote({{line, false}});
                                           Tell();
                                       });
    web_->ShowListeners([this] { return Listening(); });
    web_->ShowLog(&recentLog_);
    web_->WatchListeners([this](const std::string& listener, const std::string& trouble) {
        ListenerTrouble(listener, trouble);
    });
    if (const auto problem = web_->Start()) {
        web_.reset();
        services_.dialogs.ShowError("The web page cannot start: " + *problem);
        return;
    }
    webPoll_ = services_.host.MakeTimer("web page", [this] {
        webIo_.restart();
        webIo_.poll();
    });
    webPoll_->Start(std::chrono::milliseconds(10));
}

// A listener whose address is taken, or not on this machine yet, is tried
// again while the window works on; the alarm stands until it listens.
void WindowModel::ListenerTrouble(const std::string& listener, const std::string& trouble) {
    NoteRemote({{trouble.empty() ? "listening: " + listener
                                 : "cannot listen yet: " + listener + ": " + trouble +
                                       "; tried again until it can",
                 false}});
    const Origin listeners{Origin::Kind::Program, "the listeners"};
    static_cast<void>(program_.Execute({listeners, ListenerCondition(listener, trouble)}));
    Tell();
}

void WindowModel::StopWeb() {
    if (webPoll_) {
        webPoll_->Stop();
    }
    if (web_) {
        web_->Stop();
        webIo_.restart();
        webIo_.poll();
        web_.reset();
    }
}

// A refusal shows the Error label; its tooltip tells the last few commands
// from the network, below the trouble of the last send.
void WindowModel::NoteRemote(const std::vector<RemoteCommandLog::Line>& lines) {
    bool refused = false;
    for (const auto& line : lines) {
        remoteLines_.push_back(line.text);
        recentLog_.Add(LocalStamp(std::chrono::system_clock::now()) + " " + line.text);
        refused = refused || line.refusal;
    }
    while (remoteLines_.size() > kRemoteLinesShown) {
        remoteLines_.pop_front();
    }
    ShowErrorTip();
    if (refused) {
        state_.errorShown = !state_.sending;
        refusedWhileSending_ = refusedWhileSending_ || state_.sending;
    }
}

std::vector<ListenerStatus> WindowModel::Listening() const {
    return network_ ? network_->Status() : std::vector<ListenerStatus>{};
}

std::vector<std::string> WindowModel::WebAddresses() const {
    return web_ ? web_->Addresses() : std::vector<std::string>{};
}

}  // namespace vaxo
