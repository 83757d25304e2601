#pragma once

#include <boost/asio/io_context.hpp>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/control_program.h"
#include "app/recent_log.h"
#include "app/remote_command_log.h"
#include "netcontrol/network_thread.h"
#include "web/web_server.h"
#include "window/on_air_texts.h"
#include "window/window_dialogs.h"
#include "window/window_state.h"

namespace vaxo {

// What the model asks of the toolkit besides drawing the state.
class WindowView {
  public:
    virtual ~WindowView() = default;
    // The state changed: draw what differs.
    virtual void Show(const WindowState& state) = 0;
    // What is on air may have changed: a shown page "On air" asks again.
    virtual void OnAirChanged() = 0;
    // The help text and the pictures, when the start-up reaches them.
    virtual void LoadResources() = 0;
    // A hand-over arrived: back to the front if minimised.
    virtual void Restore() = 0;
    // The program ends: close the window (after the current event).
    virtual void Close() = 0;
};

// What the window runs on.
struct WindowServices {
    CoreHost& host;
    PortLayer& portLayer;
    PortIo& linkPort;
    LinkTiming& timing;
    WindowDialogs& dialogs;
    std::function<char()> decimalSeparator;  // the desktop's
    std::string programDir;                  // empty: found at start-up
    // Reads a bank's memory back from an encoder that can (the simulated one).
    std::function<std::optional<MemoryDump>(int bank)> readBack = {};
};

// The window without its toolkit: what it shows and allows, and what each
// control's change does. Controls are named as the window names them; a
// toolkit draws the state and forwards the operator's input.
class WindowModel {
  public:
    WindowModel(WindowServices services, WindowView& view);
    WindowModel(const WindowModel&) = delete;
    WindowModel& operator=(const WindowModel&) = delete;
    // Stops the page, saves as the end asks (Auto Save, the settings) and
    // releases the port.
    ~WindowModel();

    // Starts the program with the window's arguments; a first instance then
    // shows its station and starts its listeners.
    void Start(const std::vector<std::string>& arguments);
    bool IsFirstInstance() const { return program_.View().Instance().IsFirstInstance(); }
    ControlProgram& Program() { return program_; }
    const ControlProgram& Program() const { return program_; }
    const WindowState& State() const { return state_; }

    // The operator's input. Names the model does not know change nothing.
    void TextEdited(std::string_view control, const std::string& text);
    void TextLeft(std::string_view control, const std::string& text);
    void Ticked(std::string_view control, bool on);
    void Picked(std::string_view control, int value);
    void DecoderIdTicked(const DecoderId& flags);
    void Clicked(std::string_view control);

    // The window is closing; byWindowManager: its close box, not a signal
    // or "Exit after Send".
    void Closing(bool byWindowManager);
    // The window's loop has nothing to do; a hand-over is taken unless a
    // dialog is open (the station must not change under it).
    void Idle(bool dialogOpen);
    // "Make *.rds executable"; false when it failed (and was shown).
    bool RegisterFileType(const std::function<void()>& registration);

    OnAirTexts OnAir(OnAirSource source) const;
    // The standing alarms, the memory's wear and held sends, below what the
    // listener gets.
    std::vector<std::string> OnAirNotes() const;

    std::vector<ListenerStatus> Listening() const;
    std::vector<std::string> WebAddresses() const;

  private:
    CommandOutcome Do(CommandAction action);
    void Act(CommandAction action);
    void Set(FieldId field, FieldValue value);
    void CommitDraft(std::string_view control, FieldId field, const std::string& text);
    void OnProgramEvent(const ProgramEvent& event);
    void Tell();
    void ShowSet();
    void ShowDerived(const DerivedState& derived);
    void ShowLastSent();
    void SendStarted();
    void SendFinished(const vaxo::SendFinished& send);
    void ShowPort(const PortInUse& port);
    void ShowErrorTip();
    void NoteLink(const std::string& text);
    void NoteRemote(const std::vector<RemoteCommandLog::Line>& lines);
    void StartListeners();
    void StartWeb(WebConfig config);
    void ListenerTrouble(const std::string& listener, const std::string& trouble);
    void StopWeb();
    void ChooseFeedFile(FieldId field);

    WindowServices services_;
    WindowView& view_;
    ControlProgram program_;
    WindowState state_;
    Subscription listening_;
    int shownBank_ = 1;
    bool closing_ = false;
    bool inIdle_ = false;
    bool exitAsked_ = false;  // the operator's Exit
    ChangedStationChoice changedStation_ = ChangedStationChoice::SaveBeside;
    std::string sendProblem_;
    std::string linkNotice_;  // sends held, the memory's wear
    RemoteCommandLog remoteLog_;
    std::deque<std::string> remoteLines_;  // the last few, newest last
    // A refusal while a send runs, when the progress bar stands where
    // "Error" would: shown when the send ends.
    bool refusedWhileSending_ = false;
    RecentLog recentLog_;  // for the page's log view
    std::unique_ptr<LoopTimer> remoteCounts_;
    std::unique_ptr<NetworkThread> network_;
    // The page runs on the window's own thread: its loop is polled.
    boost::asio::io_context webIo_;
    std::unique_ptr<WebServer> web_;
    std::unique_ptr<LoopTimer> webPoll_;
};

}  // namespace vaxo
