#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTimer>
#include <QWidget>
#include <array>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "app/control_program.h"
#include "app/recent_log.h"
#include "app/remote_command_log.h"
#include "netcontrol/network_thread.h"
#include "ui/dialogs.h"
#include "ui/on_air_page.h"
#include "ui/qt_host.h"
#include "web/web_server.h"

namespace vaxo::ui {

// What the window runs on: the port, the link's clock, the file choosers.
struct WindowServices {
    PortLayer& portLayer;
    PortIo& linkPort;
    LinkTiming& timing;
    Dialogs& dialogs;
    std::string programDir;  // empty: the program folder is found at start-up
    // Where the language, help and picture files are; empty: beside the program.
    std::string resourceDir = {};
};

// The main window: five pages over a bottom strip. Its controls edit the
// program's fields through the program's door for changes and call its
// operations; it shows what the program tells its listeners. The behaviour
// lives in the program.
class TForm1 : public QWidget {
  public:
    TForm1(WindowServices services, const std::vector<std::string>& arguments,
           QWidget* parent = nullptr);
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;
    ~TForm1() override;

    ControlProgram& Program() { return program_; }
    // The network listeners as they run; none without a listeners file.
    std::vector<ListenerStatus> Listening() const {
        return network_ ? network_->Status() : std::vector<ListenerStatus>{};
    }
    // Where the web page is served ("http://127.0.0.1:8080/"); none without it.
    std::vector<std::string> WebAddresses() const {
        return web_ ? web_->Addresses() : std::vector<std::string>{};
    }
    bool IsFirstInstance() const { return program_.IsFirstInstance(); }

    // Bottom strip
    QTabWidget* Zalozky;
    QLabel* SKIN;
    QPushButton *UP, *EX, *LOAD, *SAVE, *SAAS;
    QProgressBar* ProgressBar1;
    QLabel* Label11;
    QWidget *General, *DynamicPS, *Radiotext, *Settings, *Help;
    // General
    QGroupBox *GNID, *GNPR, *GNTS, *GNDI, *GNAF;
    QLabel *Label2, *Label7, *Label1, *Label4, *Label5, *Label6, *LOGO;
    QWidget* Panel3;
    QLineEdit *PS, *PI;
    QComboBox *PTY, *MS, *TP, *TA;
    QListWidget* DI;
    std::array<QLineEdit*, 7> AF{};
    // Dynamic PS
    QGroupBox *DPST, *DPRA, *DPOP;
    std::array<QLineEdit*, 8> DPS{};
    QSlider* TrackBar1;
    QLabel* DPSP;
    QCheckBox *ENDPS, *PSFF, *UPCHPS, *DPSA, *DPSC;
    QWidget* Panel1;
    QLineEdit *PSFILE, *EFCHAR;
    QPushButton* DPBR;
    // Radiotext
    std::array<QRadioButton*, 4> SRT{};
    std::array<QLineEdit*, 4> RTs{};  // RT, RT2, RT3, RT4
    QGroupBox* RTOP;
    QCheckBox *RTSA, *ABSW, *RTFF, *UPCH;
    QSlider* TrackBar2;
    QLabel* RTST;
    QWidget* Panel2;
    QLineEdit* RTFILE;
    QPushButton* RTBR;
    // Settings
    QGroupBox *Membanks, *LastSentBox, *STOP, *PORT;
    QRadioButton *STB1, *STB2, *SHOWB1, *SHOWB2, *PORT1, *PORT2;
    QCheckBox *AUTBSW, *WRITEALL, *SEND, *EXAL, *AUTOSAVE, *HIPRI, *ALONTOP;
    QLabel* PORTINFO;  // which port the choice stands for, or why there is none
    QPlainTextEdit* SENT;
    QPushButton* REGRDS;
    // On air
    OnAirPage* OnAir;
    // Help
    QTextBrowser* HelpBox;
    QGroupBox* ABOUT;
    QLabel *Image3, *Label8;

    QTimer* Timer1;
    QTimer* Timer2;

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void OnProgramEvent(const ProgramEvent& event);
    void SendStarted();
    void SendFinished(const SendFinished& send);
    void ShowPortInUse(const PortInUse& port);
    void ShowLastSent(int bank);
    void LoadDefaultLanguage();
    void ShowHelp();
    void ShowErrorMessage(const std::string& text);
    void StartNetwork();
    void StartWeb(WebConfig config);
    void StopWeb();
    void NoteRemote(const std::vector<RemoteCommandLog::Line>& lines);
    void ShowErrorTip();
    void NoteLink(const std::string& text);
    void ApplyAlwaysOnTop(bool on);
    void ClearDecoderIdFocus();
    void FollowDerivedState(const DerivedState& state);
    void RestoreFromHandOver();
    void ShowOnAir();
    void LoadChosenStation();
    void SaveStationAs();
    void BuildWindow();
    void BuildBottomStrip();
    void BuildGeneralPage();
    void BuildDynamicPsPage();
    void BuildRadiotextPage();
    void BuildSettingsPage();
    void BuildHelpPage();
    void SetTabOrders();
    void ConnectControls();
    void ConnectTexts();
    void ConnectChoices();
    void RefreshFromSet();
    void CommitDraft(QLineEdit* box, FieldId field);
    CommandOutcome Do(CommandAction action);
    void Set(FieldId field, FieldValue value);
    void OnIdle();
    void ChooseFeedFile(FieldId field);
    std::string ResourceFile(const char* name) const;
    void REGRDSClick();
    void Label8Click();

    WindowServices services_;
    QtHost host_;
    ControlProgram program_;
    Subscription listening_;
    std::unique_ptr<NetworkThread> network_;
    // The web page runs on the window's own thread: its loop is polled.
    boost::asio::io_context webIo_;
    std::unique_ptr<WebServer> web_;
    QTimer webPoll_;
    RemoteCommandLog remoteLog_;
    QTimer remoteCounts_;
    std::deque<QString> remoteLines_;  // the last few, newest last
    RecentLog recentLog_;              // for the page's log view
    QString sendProblem_;
    QString linkNotice_;  // sends held, the memory's wear
    int shownBank_ = 1;
    bool sending_ = false;  // operator input waits until the send has ended
    bool refreshing_ = false;
    bool inIdleCheck_ = false;
    bool closing_ = false;
    bool exitAsked_ = false;  // the operator's Exit
    // What Auto Save does at the end with a station file changed on disk.
    ChangedStationChoice changedStation_ = ChangedStationChoice::SaveBeside;
};

}  // namespace vaxo::ui
