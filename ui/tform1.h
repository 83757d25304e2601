#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHash>
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
#include <string>
#include <vector>

#include "ui/dialogs.h"
#include "ui/on_air_page.h"
#include "ui/qt_host.h"
#include "window/window_layout.h"
#include "window/window_model.h"

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
    // Reads a bank's memory back from an encoder that can (the simulated one).
    std::function<std::optional<MemoryDump>(int bank)> readBack = {};
};

// The main window: five pages over a bottom strip, drawn with Qt. It shows
// the window model's state and hands the operator's input to it by the
// controls' names; what the window allows and does lives in the model.
class TForm1 : public QWidget, private WindowView {
  public:
    TForm1(WindowServices services, const std::vector<std::string>& arguments,
           QWidget* parent = nullptr);
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;
    ~TForm1() override;

    ControlProgram& Program() { return model_.Program(); }
    // The network listeners as they run; none without a listeners file.
    std::vector<ListenerStatus> Listening() const { return model_.Listening(); }
    // Where the web page is served ("http://127.0.0.1:8080/"); none without it.
    std::vector<std::string> WebAddresses() const { return model_.WebAddresses(); }
    bool IsFirstInstance() const { return model_.IsFirstInstance(); }

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
    std::array<QLineEdit*, kAfCount> AF{};
    // Dynamic PS
    QGroupBox *DPST, *DPRA, *DPOP;
    std::array<QLineEdit*, kDpsCount> DPS{};
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
    // What the model asks of the window.
    void Show(const WindowState& state) override;
    void OnAirChanged() override { ShowOnAir(); }
    void LoadResources() override { ShowHelp(); }
    void Restore() override;
    void Close() override;

    void ShowTexts(const WindowState& state);
    void ShowTicks(const WindowState& state);
    void ShowLabels(const WindowState& state);
    void ShowSending(const WindowState& state);
    void LoadDefaultLanguage();
    void ShowHelp();
    void ApplyAlwaysOnTop(bool on);
    void ClearDecoderIdFocus();
    void ShowOnAir();
    void BuildWindow();
    QWidget* MakeControl(const ControlDesign& design, QWidget* parent);
    template <typename Widget>
    void Find(Widget*& control, const char* name);
    void FindControls();
    void StyleControls();
    void ShowDesignedDefaults();
    void SetTabOrders();
    void ConnectControls();
    void ConnectTexts();
    void ConnectChoices();
    void OnIdle();
    std::string ResourceFile(const char* name) const;
    void REGRDSClick();
    void Label8Click();
    template <typename Widget>
    Widget* Control(const std::string& name) const;

    WindowServices services_;
    QtHost host_;
    ParentedDialogs dialogs_;
    QHash<QString, QWidget*> controls_;  // by name
    bool refreshing_ = false;
    bool busyCursor_ = false;
    // Last: it ends (saves, stops the page) while the window still stands.
    WindowModel model_;
};

}  // namespace vaxo::ui
