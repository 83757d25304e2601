// The real window, driven offscreen against the encoder simulator.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDesktopServices>
#include <QDialog>
#include <QEventLoop>
#include <QPainter>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStyleOptionTab>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>
#include <cmath>
#include <thread>

#include "link/encoder_simulator.h"
#include "platform/tell_tail.h"
#include "stations/station_file.h"
#include "tests/support/fake_link_timing.h"
#include "tests/support/fake_parport_system.h"
#include "tests/support/http_request.h"
#include "tests/support/temp_dir.h"
#include "ui/dialogs.h"
#include "ui/hover_tab_style.h"
#include "ui/tform1.h"
#include "ui/widget_factory.h"
#include "web/password_file.h"
#include "web/password_hash.h"
#include "window/window_layout.h"

using namespace std::chrono_literals;

namespace {

// How long a test waits for what the window does on its own (a timer, a
// send, a hand-over): a guard against a hang that a busy machine never meets.
constexpr int kPatience = 30000;

// One HTTP/1.1 exchange with the page on this machine, the connection closed
// after it: the whole response, head and body.
std::string Http(std::uint16_t port, const std::string& method, const std::string& path,
                 const std::string& cookie, const std::string& token, const std::string& body) {
    const int client = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(client);
        return "";
    }
    const std::string request =
        vaxo::test::HttpRequestText(port, method, path, cookie, token, body);
    static_cast<void>(::send(client, request.data(), request.size(), MSG_NOSIGNAL));
    std::string response;
    char buffer[4096];
    for (ssize_t got; (got = ::recv(client, buffer, sizeof buffer, 0)) > 0;) {
        response.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(client);
    return response;
}

class FakeDialogs : public vaxo::ui::Dialogs {
  public:
    std::optional<QString> OpenStation(QWidget*) override { return toLoad; }
    std::optional<QString> SaveStation(QWidget*, const QString& proposal) override {
        proposals << proposal;
        return toSave;
    }
    std::optional<QString> OpenAnyFile(QWidget*) override { return anyFile; }
    void ShowError(QWidget*, const QString& text) override { errors << text; }
    vaxo::ChangedStationChoice AskAboutChangedStation(QWidget*, const QString& file) override {
        askedAbout << file;
        return choice;
    }
    vaxo::UnsavedChoice AskAboutUnsavedHandOver(QWidget*, const QString& station,
                                                const QString& handed) override {
        askedAbout << station + " for " + handed;
        return unsavedChoice;
    }

    std::optional<QString> toLoad, toSave, anyFile;
    QStringList askedAbout;
    vaxo::UnsavedChoice unsavedChoice = vaxo::UnsavedChoice::KeepStation;
    vaxo::ChangedStationChoice choice = vaxo::ChangedStationChoice::SaveBeside;
    QStringList proposals;
    QStringList errors;
};

}  // namespace

class TForm1Test : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<QTemporaryDir> programDir_;
    std::unique_ptr<QTemporaryDir> runtime_;
    std::unique_ptr<QTemporaryDir> resources_;  // the language, help and picture files
    std::unique_ptr<vaxo::EncoderSimulator> encoder_;
    std::unique_ptr<vaxo::PortLayer> layer_;
    std::unique_ptr<vaxo::test::FakeLinkTiming> timing_;
    FakeDialogs dialogs_;
    std::unique_ptr<vaxo::ui::TForm1> form_;
    QList<QUrl> openedUrls_;

    QString File(const QString& name) const { return programDir_->filePath(name); }

    void Open(const std::vector<std::string>& arguments = {}) {
        form_ = std::make_unique<vaxo::ui::TForm1>(
            vaxo::ui::WindowServices{*layer_, *layer_, *timing_, dialogs_,
                                     programDir_->path().toStdString() + "/",
                                     resources_->path().toStdString() + "/"},
            arguments);
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    }

    static void Click(QAbstractButton* button) { button->click(); }
    // PS changed from elsewhere than the window.
    void SetPs(const char* ps) {
        const vaxo::Command change{vaxo::Origin{vaxo::Origin::Kind::Program},
                                   vaxo::SetFields{{{vaxo::FieldId::PS, std::string(ps)}}}};
        static_cast<void>(form_->Program().Execute(change));
    }

    // Types any characters, as a keyboard layout would deliver them.
    static void Type(QWidget* box, const QString& text) {
        for (QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(box, &press);
            QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(box, &release);
        }
    }

    void Translate(const QByteArray& entries) {
        WriteFile(resources_->filePath("vaxow.lng"), "[Translations]\r\n" + entries);
        Open();
    }

    static void WriteFile(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    // A later start hands a file over; true when this window took it within
    // `wait` of event-loop time.
    bool HandOver(const QString& path, int wait) {
        const std::string name = path.toStdString();
        const pid_t pid = ::fork();
        if (pid == 0) {
            vaxo::TTellTail later;
            later.MapFileName = vaxo::kSharedBlockName;
            later.MutexName = vaxo::kSharedLockName;
            later.Arguments = {name};
            ::_exit(later.Activate() ? 1 : 0);
        }
        ::waitpid(pid, nullptr, 0);
        QEventLoop loop;
        connect(form_.get(), &QWidget::windowTitleChanged, &loop, &QEventLoop::quit);
        QTimer::singleShot(wait, &loop, &QEventLoop::quit);
        loop.exec();
        return form_->PS->text() == "HANDED";
    }

    static double Luminance(QColor c) {
        auto channel = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) +
               0.0722 * channel(c.blueF());
    }
    static double Contrast(QColor a, QColor b) {
        const double x = Luminance(a), y = Luminance(b);
        return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
    }

  public slots:
    void RecordOpenedUrl(const QUrl& url) { openedUrls_ << url; }

  private slots:
    void init() {
        programDir_ = std::make_unique<QTemporaryDir>();
        runtime_ = std::make_unique<QTemporaryDir>();
        resources_ = std::make_unique<QTemporaryDir>();
        qputenv("XDG_RUNTIME_DIR", runtime_->path().toLocal8Bit());
        encoder_ = std::make_unique<vaxo::EncoderSimulator>();
        // One port, LPT1 at 0x378, with the encoder on it; nothing on LPT2.
        layer_ = std::make_unique<vaxo::PortLayer>(
            vaxo::LinuxPortBackends(std::make_unique<vaxo::test::FakeParportSystem>(
                std::vector<vaxo::test::FakeParportSystem::Port>{{{0, vaxo::kLpt1Base}}}, *encoder_,
                false)));
        timing_ = std::make_unique<vaxo::test::FakeLinkTiming>();
        dialogs_ = FakeDialogs();
    }

    void cleanup() { form_.reset(); }

    // A client on this machine: the window answers and shows who changed
    // what; a refusal shows the Error label with its reason.
    void networkClientsChangeTheFieldsAndRefusalsShow() {
        WriteFile(File("vaxow.listen"), "# playout\n--text-tcp 127.0.0.1:0\n");
        Open();
        const auto listening = form_->Listening();
        QCOMPARE(listening.size(), std::size_t{1});
        const int client = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(listening[0].port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        QCOMPARE(::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        const std::string commands = "PS=NETWORK\r\nPTY=45\r\n";
        QCOMPARE(::send(client, commands.data(), commands.size(), 0),
                 static_cast<ssize_t>(commands.size()));
        std::string replies;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                char buffer[64];
                const ssize_t got = ::recv(client, buffer, sizeof buffer, MSG_DONTWAIT);
                if (got > 0) {
                    replies.append(buffer, static_cast<std::size_t>(got));
                }
                return replies.size() >= 6;
            }(),
            kPatience);
        ::close(client);
        QCOMPARE(replies, std::string("+\r\n-\r\n"));
        QCOMPARE(form_->PS->text(), QString("NETWORK"));
        QTRY_VERIFY_WITH_TIMEOUT(form_->Label11->isVisible(), kPatience);
        QVERIFY(form_->Label11->toolTip().contains("\"PS=NETWORK\" changed PS"));
        QVERIFY(form_->Label11->toolTip().contains(
            "\"PTY=45\" refused: PTY takes a number from 0 to 31"));
    }

    // The page from the listeners' file: a change made on it shows in the
    // window at once, and the page sees the window's own changes.
    void theWindowServesTheWebPage() {
        vaxo::WritePasswordFile(File("vaxow.passwd").toStdString(),
                                {vaxo::HashPassword("window-password"), ""});
        WriteFile(File("vaxow.listen"), "--text-tcp 127.0.0.1:0\n--web 127.0.0.1:0\n");
        Open();
        QCOMPARE(form_->WebAddresses().size(), std::size_t{1});
        const std::string address = form_->WebAddresses().front();
        const auto port =
            static_cast<std::uint16_t>(std::stoi(address.substr(address.rfind(':') + 1)));
        std::atomic<bool> done = false;
        std::string state;
        std::thread page([&] {
            const std::string signedIn =
                Http(port, "POST", "/signin", "", "", "password=window-password");
            const std::string cookie = vaxo::test::SessionCookie(signedIn);
            const std::string token =
                vaxo::test::FormToken(Http(port, "GET", "/station", cookie, "", ""));
            Http(port, "POST", "/api/fields", cookie, token, R"({"fields": {"PS": "FROM WEB"}})");
            state = Http(port, "GET", "/api/state", cookie, "", "");
            done = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(done.load(), kPatience);
        page.join();
        QCOMPARE(form_->PS->text(), QString("FROM WEB"));
        QVERIFY(state.find("\"PS\":\"FROM WEB\"") != std::string::npos);
        QVERIFY(state.find("1 listening") != std::string::npos);
    }

    void aListenerThatMayNotRunIsShownAndNothingListens() {
        WriteFile(File("vaxow.listen"), "--text-tcp 0.0.0.0:4000\n");
        Open();
        QVERIFY(form_->Listening().empty());
        QCOMPARE(dialogs_.errors.size(), 1);
        QVERIFY(dialogs_.errors.front().contains("--allow"));
    }

    void firstStartShowsTheDesignedDefaults() {
        Open();
        QCOMPARE(form_->size(), QSize(521, 303));
        QCOMPARE(form_->Zalozky->currentWidget(), form_->General);
        QCOMPARE(form_->PS->text(), QString("FM RADIO"));
        QCOMPARE(form_->PI->text(), QString("FFFF"));
        QCOMPARE(form_->PTY->currentText(), QString("(None)"));
        QCOMPARE(form_->PTY->count(), 32);
        QCOMPARE(form_->MS->currentText(), QString("Music"));
        QCOMPARE(form_->TP->currentText(), QString("1"));
        QCOMPARE(form_->TA->currentText(), QString("0"));
        QVERIFY(form_->SRT[0]->isChecked());
        QCOMPARE(form_->DPSP->text(), QString("39 s"));
        QCOMPARE(form_->RTST->text(), QString("5 min"));
        QCOMPARE(form_->RTFILE->text(), QString("rt.txt"));
        QCOMPARE(form_->PSFILE->text(), QString("dps.txt"));
        QCOMPARE(form_->EFCHAR->text(), QString("*"));
        QVERIFY(form_->UPCH->isChecked() && form_->UPCHPS->isChecked() && form_->DPSA->isChecked());
        QVERIFY(form_->STB1->isChecked() && form_->SHOWB1->isChecked() &&
                form_->PORT1->isChecked());
        QVERIFY(!form_->Label11->isVisible());
        QVERIFY(form_->ProgressBar1->isVisible());
        QCOMPARE(form_->DI->currentItem(), nullptr);
        QVERIFY(form_->UP->font().bold());
        QCOMPARE(form_->windowTitle(),
                 QString("VAXO for Windows 3 - RDS Encoder Solution, version 3.60"));
        QCOMPARE(form_->HelpBox->toPlainText(), QString("(help file vaxohelp.rtf is missing)"));
    }

    void everyControlIsNamedAndTranslatablesCarryATag() {
        Open();
        for (const char* name :
             {"PS",     "PI",      "PTY",    "MS",     "TP",        "TA",        "DI",
              "AF1",    "AF7",     "DPS1",   "DPS8",   "TrackBar1", "DPSP",      "ENDPS",
              "PSFF",   "PSFILE",  "DPBR",   "UPCHPS", "DPSA",      "DPSC",      "EFCHAR",
              "SRT1",   "SRT4",    "RT",     "RT4",    "RTSA",      "TrackBar2", "RTST",
              "ABSW",   "RTFF",    "UPCH",   "RTFILE", "RTBR",      "STB1",      "STB2",
              "AUTBSW", "SHOWB1",  "SHOWB2", "SENT",   "SEND",      "EXAL",      "AUTOSAVE",
              "HIPRI",  "ALONTOP", "PORT",   "REGRDS", "HelpBox",   "ABOUT",     "Label8",
              "Image3", "SKIN",    "LOGO",   "Panel1", "Panel2",    "Panel3",    "ProgressBar1",
              "Label11"}) {
            QVERIFY2(form_->findChild<QWidget*>(name) != nullptr, name);
        }
        for (const char* name : {"UP", "Label11", "GNID", "Label5", "DPST", "RTFF", "PORT", "ABOUT",
                                 "General", "Help"}) {
            QCOMPARE(vaxo::ui::TagOf(form_->findChild<QWidget*>(name)), 1);
        }
        for (const char* name : {"PS", "PTY", "DPSP", "RTST", "SENT", "HelpBox"}) {
            QCOMPARE(vaxo::ui::TagOf(form_->findChild<QWidget*>(name)), 0);
        }
    }

    // The Windows window is built from the same list: this window must stand
    // as it says, control by control.
    void everyControlStandsWhereTheSharedLayoutPutsIt() {
        Open();
        for (const vaxo::ControlDesign& design : vaxo::WindowLayout()) {
            const QByteArray name = QByteArray::fromStdString(design.name);
            auto* widget = form_->findChild<QWidget*>(design.name.c_str());
            QVERIFY2(widget != nullptr, name);
            if (design.kind == vaxo::ControlKind::Page) {
                QCOMPARE(vaxo::ui::TagOf(widget), 1);
                continue;
            }
            const auto& p = design.place;
            QCOMPARE(widget->geometry(), QRect(p.x, p.y, p.width, p.height));
            QCOMPARE(vaxo::ui::TagOf(widget), design.translatable ? 1 : 0);
            if (!design.hint.empty()) {
                QCOMPARE(widget->toolTip(), QString::fromStdString(design.hint));
            }
            const QString caption = QString::fromStdString(design.caption);
            if (auto* group = qobject_cast<QGroupBox*>(widget)) {
                QCOMPARE(group->title(), caption);
            } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
                QCOMPARE(button->text(), caption);
                QCOMPARE(button->font().bold(), design.bold);
            } else if (auto* box = qobject_cast<QLineEdit*>(widget)) {
                QCOMPARE(box->maxLength(), design.limit > 0 ? design.limit : 32767);
            } else if (auto* list = qobject_cast<QComboBox*>(widget)) {
                QCOMPARE(list->count(), static_cast<int>(design.items.size()));
                QCOMPARE(list->itemText(list->count() - 1),
                         QString::fromStdString(design.items.back()));
            } else if (auto* slider = qobject_cast<QSlider*>(widget)) {
                QCOMPARE(slider->minimum(), design.low);
                QCOMPARE(slider->maximum(), design.high);
            }
            if (!design.accessibleName.empty()) {
                QCOMPARE(widget->accessibleName(), QString::fromStdString(design.accessibleName));
            }
        }
    }

    void typingRespectsCapitalsLimitsAndTheCodePage() {
        Open();
        form_->PI->clear();
        QTest::keyClicks(form_->PI, "ab12c");
        QCOMPARE(form_->PI->text(), QString("AB12"));
        QCOMPARE(form_->Program().View().Station().PI.str(), std::string("AB12"));
        form_->PS->clear();
        QTest::keyClicks(form_->PS, "ROCK FM 1");
        QCOMPARE(form_->PS->text(), QString("ROCK FM "));
        QTest::keyClicks(form_->AF[0], "107.95");
        QCOMPARE(form_->AF[0]->text(), QString("107.9"));
        QTest::keyClicks(form_->DPS[7], "123456789");
        QCOMPARE(form_->DPS[7]->text(), QString("12345678"));
        QTest::keyClicks(form_->RTs[1], QString(65, 'r'));
        QCOMPARE(form_->RTs[1]->text().size(), 64);
        form_->RTs[2]->clear();
        Type(form_->RTs[2], QString::fromUtf8("Žluťoučký ☃"));
        QCOMPARE(form_->RTs[2]->text(), QString::fromUtf8("Žluťoučký "));
        QCOMPARE(form_->Program().View().Station().RT3.str(),
                 std::string("\x8Elu\x9Dou\xE8k\xFD "));
    }

    void emptyEffectCharacterBecomesAStar() {
        Open();
        form_->Zalozky->setCurrentWidget(form_->DynamicPS);
        form_->EFCHAR->setFocus();
        form_->EFCHAR->selectAll();
        QTest::keyClick(form_->EFCHAR, Qt::Key_Backspace);
        QCOMPARE(form_->Program().View().Station().EFCHAR.str(), std::string());
        form_->PSFILE->setFocus();
        QCOMPARE(form_->EFCHAR->text(), QString("*"));
        QCOMPARE(form_->Program().View().Station().EFCHAR.str(), std::string("*"));
    }

    void slidersUpdateTheirLabels() {
        Open();
        form_->TrackBar1->setValue(7);
        QCOMPARE(form_->DPSP->text(), QString("22 s"));
        form_->TrackBar1->setValue(65);
        QCOMPARE(form_->DPSP->text(), QString("184 s"));
        QCOMPARE(form_->Program().View().Station().DPSP, 65);
        form_->TrackBar2->setValue(12);
        QCOMPARE(form_->RTST->text(), QString("12 min"));
        Click(form_->RTSA);
        QVERIFY(form_->Timer2->isActive());
        QCOMPARE(form_->Timer2->interval(), 12 * 60000);
        Click(form_->RTSA);
        QVERIFY(!form_->Timer2->isActive());
    }

    void feedsLockTheFieldsTheyWrite() {
        Open();
        Click(form_->RTFF);
        QVERIFY(form_->RTs[0]->isReadOnly() && form_->RTFILE->isReadOnly());
        QVERIFY(!form_->RTs[1]->isReadOnly());
        Click(form_->PSFF);
        QVERIFY(form_->DPS[0]->isReadOnly() && form_->DPS[7]->isReadOnly());
        QVERIFY(!form_->PSFILE->isReadOnly());
        Click(form_->ENDPS);
        QVERIFY(form_->PSFILE->isReadOnly());
        Click(form_->RTFF);
        QVERIFY(!form_->RTs[0]->isReadOnly());
    }

    void sendThroughTheButtonShowsProgressAndTheRecord() {
        Open();
        timing_->Advance(3s);
        QList<int> progress;
        connect(form_->ProgressBar1, &QProgressBar::valueChanged, [&](int v) { progress << v; });
        Click(form_->UP);
        QTRY_COMPARE_WITH_TIMEOUT(progress, (QList<int>{10, 20, 50, 100, 0}), kPatience);
        QVERIFY(form_->SENT->toPlainText().startsWith("PS=FM RADIO\nRT=\nDPS1="));
        QCOMPARE(form_->SENT->toPlainText().split('\n').size(), 28);
        QVERIFY(!form_->Label11->isVisible());
    }

    void failedSendShowsErrorUntilTheNextSend() {
        Open();
        timing_->Advance(3s);
        Click(form_->PORT2);  // nothing answers on LPT2
        Click(form_->UP);
        QTRY_VERIFY_WITH_TIMEOUT(form_->Label11->isVisible(), kPatience);
        QVERIFY(!form_->ProgressBar1->isVisible());
        QCOMPARE(form_->Label11->geometry(), form_->ProgressBar1->geometry());
        QCOMPARE(form_->Label11->text(), QString("Error"));
        QVERIFY(!form_->SENT->toPlainText().contains("PS="));
        timing_->Advance(3s);
        Click(form_->PORT1);
        Click(form_->UP);
        QVERIFY(!form_->Label11->isVisible());
        QVERIFY(form_->ProgressBar1->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(form_->Program().View().Idle(), kPatience);
    }

    // The encoder does not answer: while the send waits (the link's clock
    // stands still until the test lets it go on) the window paints and takes
    // no edits of what is being sent.
    void theWindowAnswersButTakesNoEditsWhileASendWaits() {
        encoder_ = std::make_unique<vaxo::EncoderSimulator>(vaxo::EncoderScenario::StuckHigh);
        layer_ = std::make_unique<vaxo::PortLayer>(vaxo::ForwardingPortBackends(*encoder_));
        Open();
        timing_->Advance(3s);
        timing_->frozen = true;
        Click(form_->UP);
        QTRY_COMPARE_WITH_TIMEOUT(form_->ProgressBar1->value(), 50, kPatience);
        QTest::keyClicks(form_->PS, "X");
        QCOMPARE(form_->PS->text(), QString("FM RADIO"));
        QVERIFY(form_->grab().width() > 0);
        timing_->frozen = false;
        QTRY_VERIFY_WITH_TIMEOUT(form_->Label11->isVisible(), kPatience);
        QCOMPARE(form_->Label11->toolTip(),
                 QString("the encoder did not answer: status line stuck high"));
        form_->PS->selectAll();
        QTest::keyClicks(form_->PS, "NEW");
        QCOMPARE(form_->Program().View().Station().PS, "NEW");
    }

    void secondClickWithinTwoSecondsIsIgnored() {
        Open();
        timing_->Advance(3s);
        Click(form_->UP);
        QTRY_VERIFY_WITH_TIMEOUT(form_->Program().View().Idle(), kPatience);
        const auto sent = form_->Program().View().LastSendEnded()->at;
        Click(form_->UP);
        QTRY_VERIFY_WITH_TIMEOUT(form_->Program().View().Idle(), kPatience);
        QCOMPARE(form_->Program().View().LastSendEnded()->at, sent);
        timing_->Advance(2s);
        Click(form_->UP);
        QTRY_VERIFY_WITH_TIMEOUT(form_->Program().View().LastSendEnded()->at != sent, kPatience);
    }

    // The page shows the bytes the bank holds, not the form; the preview
    // shows what a send would write now.
    void onAirShowsWhatTheBankHoldsNotTheForm() {
        Open();
        timing_->Advance(3s);
        form_->Zalozky->setCurrentWidget(form_->OnAir);
        QCOMPARE(form_->OnAir->ONAIRRT->text(),
                 QString("Nothing sent to this bank since the program started."));
        Click(form_->UP);
        QTRY_COMPARE_WITH_TIMEOUT(form_->OnAir->ONAIRPS->text(), QString("FM RADIO"), kPatience);
        QCOMPARE(form_->OnAir->ONAIRRT->text(), QString("(no radiotext)"));
        SetPs("NEW PS");
        QCOMPARE(form_->OnAir->ONAIRPS->text(), QString("FM RADIO"));
        Click(form_->OnAir->ONAIRNOW);
        QCOMPARE(form_->OnAir->ONAIRPS->text(), QString("NEW PS  "));
        QVERIFY(form_->OnAir->ONAIRWARN->toPlainText().contains(
            "PI FFFF is a new station's value, not this station's own"));
        Click(form_->OnAir->ONAIRB2);
        QCOMPARE(form_->OnAir->ONAIRPS->text(), QString());
    }

    // Another program replaced the station file: the operator who ends the
    // program is asked what Auto Save is to do with it.
    void exitAsksBeforeAutoSaveWritesOverAReplacedStation() {
        WriteFile(File("station.rds"), "CLEAR\r\nPS=MINE\r\n");
        Open({File("station.rds").toStdString()});
        Click(form_->AUTOSAVE);
        WriteFile(File("station.rds"), "CLEAR\r\nPS=THEIRS\r\n");
        dialogs_.choice = vaxo::ChangedStationChoice::Overwrite;
        Click(form_->EX);
        QTRY_VERIFY_WITH_TIMEOUT(!form_->isVisible(), kPatience);
        QCOMPARE(dialogs_.askedAbout, QStringList{File("station.rds")});
        form_.reset();
        QFile saved(File("station.rds"));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QVERIFY(saved.readAll().contains("\r\nPS=MINE\r\n"));
    }

    void loadAndSaveAsGoThroughTheDialogs() {
        Open();
        WriteFile(File("jazz.rds"), "CLEAR\r\nPS=JAZZ FM\r\nRTFF=1\r\nDPSP=7\r\n");
        dialogs_.toLoad = File("jazz.rds");
        // The start-up banner gives way to the file name at the first tick.
        QTRY_VERIFY_WITH_TIMEOUT(!form_->windowTitle().contains("version"), kPatience);
        Click(form_->LOAD);
        QCOMPARE(form_->PS->text(), QString("JAZZ FM"));
        QCOMPARE(form_->DPSP->text(), QString("22 s"));
        QVERIFY(form_->RTs[0]->isReadOnly());
        QCOMPARE(form_->windowTitle(), QString("VAXO for Windows 3 - jazz.rds"));
        dialogs_.toSave = File("copy.rds");
        Click(form_->SAAS);
        QCOMPARE(dialogs_.proposals, QStringList{"jazz fm"});
        QVERIFY(QFile::exists(File("copy.rds")));
        QCOMPARE(QDir::currentPath(), QDir(programDir_->path()).absolutePath());
    }

    void untouchedFieldsKeepTheirBytes() {
        const QByteArray station("CLEAR\r\nPS=A\x81\xE8Z\r\nRT=caf\xE9 \x98\r\n");
        WriteFile(File("odd.rds"), station);
        Open({File("odd.rds").toStdString()});
        QCOMPARE(form_->PS->text(), QString::fromUtf8("A\uFFFDčZ"));
        Click(form_->SAVE);
        QFile saved(File("odd.rds"));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QByteArray bytes = saved.readAll();
        QVERIFY(bytes.contains("\r\nPS=A\x81\xE8Z\r\n"));
        QVERIFY(bytes.contains("\r\nRT=caf\xE9 \x98\r\n"));
    }

    void captionShowsTheFileAfterThreeSeconds() {
        Open();
        QSignalSpy tick(form_->Timer1, &QTimer::timeout);
        QVERIFY(tick.wait(kPatience));
        QCOMPARE(form_->windowTitle(), QString("VAXO for Windows 3 - untitled.rds"));
    }

    void alwaysOnTopFollowsTheTick() {
        Open();
        Click(form_->ALONTOP);
        QVERIFY(form_->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        Click(form_->ALONTOP);
        QVERIFY(!form_->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    }

    void handOverFromASecondProcessLoadsTheFile() {
        WriteFile(File("handed.rds"), "PS=HANDED\r\n");
        Open();
        QVERIFY(HandOver(File("handed.rds"), kPatience));
        QCOMPARE(form_->windowTitle().right(10), QString("handed.rds"));
    }

    // Unsaved changes are the operator's: kept when asked so, saved when asked.
    void handOverAsksAboutUnsavedChanges() {
        WriteFile(File("handed.rds"), "PS=HANDED\r\n");
        Open();
        form_->PS->clear();
        QTest::keyClicks(form_->PS, "MINE");
        QVERIFY(!HandOver(File("handed.rds"), 2000));
        QCOMPARE(dialogs_.askedAbout.size(), 1);
        QVERIFY(dialogs_.askedAbout.front().endsWith("for " + File("handed.rds")));
        QCOMPARE(form_->PS->text(), QString("MINE"));
        dialogs_.unsavedChoice = vaxo::UnsavedChoice::Save;
        QVERIFY(HandOver(File("handed.rds"), kPatience));
        QCOMPARE(form_->PS->text(), QString("HANDED"));
        QFile saved(File("untitled.rds"));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QVERIFY(saved.readAll().contains("\r\nPS=MINE"));
    }

    void handOverWaitsWhileADialogIsOpen() {
        WriteFile(File("handed.rds"), "PS=HANDED\r\n");
        Open();
        QDialog dialog(form_.get());
        dialog.setModal(true);
        dialog.show();
        QVERIFY(!HandOver(File("handed.rds"), 300));
        QSignalSpy taken(form_.get(), &QWidget::windowTitleChanged);
        dialog.close();
        QVERIFY(taken.wait(kPatience));  // the waiting hand-over, no new one
        QCOMPARE(form_->PS->text(), QString("HANDED"));
    }

    void saveAsNeverProposesAPathAndAnyFileMeansAnyFile() {
        Open();
        QCOMPARE(vaxo::SaveAsProposal("Rock FM"), std::string("rock fm"));
        QCOMPARE(vaxo::SaveAsProposal("\xC4RGER"), std::string("\xC4rger"));  // A to Z only
        SetPs("24/7 FM");
        Click(form_->SAAS);
        QCOMPARE(dialogs_.proposals, QStringList{"24-7 fm"});
        const QString filter = vaxo::ui::kAnyFileFilter;
        const QString pattern = filter.section('(', 1).chopped(1);
        QVERIFY(QDir::match(pattern, "nowplaying"));
    }

    void everyInputIsNamedAndTheButtonsHaveTheirShortcuts() {
        Open();
        const std::pair<QWidget*, const char*> names[] = {{form_->PS, "Default PS"},
                                                          {form_->PI, "PI"},
                                                          {form_->RTs[0], "Radiotext 1"},
                                                          {form_->RTs[3], "Radiotext 4"},
                                                          {form_->RTFILE, "Radiotext file"},
                                                          {form_->PSFILE, "Dynamic PS file"},
                                                          {form_->AF[6], "Alternative frequency 7"},
                                                          {form_->DPS[0], "Dynamic PS 1"}};
        for (const auto& [widget, name] : names) {
            QCOMPARE(widget->accessibleName(), QString(name));
        }
        QCOMPARE(form_->Label2->buddy(), form_->PS);
        QCOMPARE(form_->Label7->buddy(), form_->PI);
        QVERIFY(form_->PS->hasFocus());
        QVERIFY(form_->Label8->focusPolicy() & Qt::TabFocus);
        QVERIFY(form_->Label8->textInteractionFlags() & Qt::LinksAccessibleByKeyboard);
        QDesktopServices::setUrlHandler("file", this, "RecordOpenedUrl");
        emit form_->Label8->linkActivated("manual.html");
        QDesktopServices::unsetUrlHandler("file");
        QCOMPARE(openedUrls_.size(), 1);
        QVERIFY(openedUrls_.front().toLocalFile().endsWith("/manual.html"));
        QTest::keyClick(form_.get(), Qt::Key_S, Qt::ControlModifier);
        QVERIFY(QFile::exists(File("untitled.rds")));
        QTest::keyClick(form_.get(), Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(dialogs_.proposals.size(), 1);
        QTest::keyClick(form_.get(), Qt::Key_Q, Qt::ControlModifier);
        QTRY_VERIFY_WITH_TIMEOUT(!form_->isVisible(), kPatience);
    }

    void failuresAndThePortInUseExplainThemselves() {
        Open();
        QTRY_COMPARE_WITH_TIMEOUT(form_->PORTINFO->toolTip(),
                                  QString("/dev/parport0 at 0x378, ppdev"), kPatience);
        timing_->Advance(3s);
        Click(form_->PORT2);
        QTRY_COMPARE_WITH_TIMEOUT(form_->PORTINFO->toolTip(),
                                  QString("no parallel port found for LPT2"), kPatience);
        Click(form_->UP);
        QTRY_VERIFY_WITH_TIMEOUT(form_->Label11->isVisible(), kPatience);
        QCOMPARE(form_->Label11->toolTip(), QString("no parallel port found for LPT2"));
    }

    void textReadsWellInADarkPalette() {
        const QPalette saved = QApplication::palette();
        QPalette dark;
        for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button}) {
            dark.setColor(role, QColor(40, 40, 40));
        }
        for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
            dark.setColor(role, QColor(230, 230, 230));
        }
        QApplication::setPalette(dark);
        Open();
        for (QWidget* box : {static_cast<QWidget*>(form_->PS), static_cast<QWidget*>(form_->RTs[0]),
                             static_cast<QWidget*>(form_->HelpBox)}) {
            const QPalette p = box->palette();
            QVERIFY2(Contrast(p.color(QPalette::Base), p.color(QPalette::Text)) >= 4.5,
                     qPrintable(box->objectName()));
        }
        for (QWidget* onBand :
             {static_cast<QWidget*>(form_->GNID), static_cast<QWidget*>(form_->Label2)}) {
            const QPalette p = onBand->palette();
            QVERIFY2(Contrast(p.color(QPalette::Window), p.color(QPalette::WindowText)) >= 4.5,
                     qPrintable(onBand->objectName()));
        }
        QApplication::setPalette(saved);
    }

    // Every caption fits its control at the window's own font, whatever font
    // the desktop sets, in English and in German.
    void noTextNeedsMoreRoomThanItHas_data() {
        QTest::addColumn<bool>("german");
        QTest::newRow("English") << false;
        QTest::newRow("German") << true;
    }
    void noTextNeedsMoreRoomThanItHas() {
        QFETCH(bool, german);
        if (german) {
            QFile file(QString(VAXO_SOURCE_DIR) + "/examples/vaxow.lng");
            QVERIFY(file.open(QIODevice::ReadOnly));
            WriteFile(resources_->filePath("vaxow.lng"), file.readAll());
        }
        const QFont saved = QApplication::font();
        QFont large = saved;
        large.setPointSize(14);
        QApplication::setFont(large);
        Open();
        QApplication::setFont(saved);
        QStringList clipped;
        auto need = [&](QWidget* widget, int required, int available) {
            if (required > available && widget->isVisibleTo(form_.get())) {
                clipped << QString("%1 (%2 > %3)")
                               .arg(widget->objectName())
                               .arg(required)
                               .arg(available);
            }
        };
        for (auto* button : form_->findChildren<QAbstractButton*>()) {
            if (button->text().isEmpty()) {
                continue;
            }
            // A push button's hint has a minimum width of its own; its text is what counts.
            const int required =
                qobject_cast<QPushButton*>(button)
                    ? button->fontMetrics().horizontalAdvance(QString(button->text()).remove('&')) +
                          12
                    : button->sizeHint().width();
            need(button, required, button->width());
        }
        for (auto* label : form_->findChildren<QLabel*>()) {
            if (!label->text().isEmpty() && label->textFormat() != Qt::RichText) {
                const int required = label->wordWrap() ? label->heightForWidth(label->width())
                                                       : label->sizeHint().width();
                need(label, required, label->wordWrap() ? label->height() : label->width());
            }
        }
        for (auto* group : form_->findChildren<QGroupBox*>()) {
            need(group, group->fontMetrics().horizontalAdvance(group->title()) + 16,
                 group->width());
        }
        need(form_->Zalozky, form_->Zalozky->tabBar()->sizeHint().width(), form_->Zalozky->width());
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(", ")));
    }

    void tabsLightUpUnderTheMouse() {
        vaxo::ui::HoverTabStyle style;
        QStyleOptionTab tab;
        tab.rect = QRect(0, 0, 80, 22);
        tab.text = "General";
        tab.palette = QApplication::palette();
        auto draw = [&](QStyle::State state) {
            QImage image(80, 22, QImage::Format_ARGB32);
            image.fill(Qt::transparent);
            QPainter painter(&image);
            tab.state = QStyle::State_Enabled | state;
            style.drawControl(QStyle::CE_TabBarTabShape, &tab, &painter);
            return image;
        };
        QVERIFY(draw(QStyle::State_MouseOver) != draw(QStyle::State_None));
    }

    void languageFileReplacesCaptionsAndHints() {
        Translate(
            "Form1.UP.Caption=Senden\r\nForm1.Label5.Hint=Verkehrsfunk\r\n"
            "Form1.AUTBSW.Caption=Line one~~line two\r\nForm1.General.Caption=Allgemein\r\n"
            "Form1.up.caption=Ignored, the first occurrence wins\r\n"
            "Form1.GNID.caption=\"  Kennung  \"\r\n");
        QCOMPARE(form_->UP->text(), QString("Senden"));
        QCOMPARE(form_->Label5->toolTip(), QString("Verkehrsfunk"));
        QCOMPARE(form_->AUTBSW->text(), QString("Line one\nline two"));
        QCOMPARE(form_->Zalozky->tabText(0), QString("Allgemein"));
        QCOMPARE(form_->GNID->title(), QString("  Kennung  "));
    }

    void languageFileRulesThatChangeNothing() {
        Translate(
            "form1.UP.Caption=Senden\r\nForm1.PS.Text=ABC\r\nForm1.UP.Font=Arial\r\n"
            "Form1.UP=Go\r\nForm1.DPSP.Caption=untranslatable\r\nForm1.NOPE.Caption=x\r\n"
            "Form1.EX.Caption.Extra=x\r\n");
        QCOMPARE(form_->UP->text(), QString("Sen&d"));
        QCOMPARE(form_->PS->text(), QString("FM RADIO"));
        QCOMPARE(form_->UP->font().family(), form_->font().family());
        QCOMPARE(form_->DPSP->text(), QString("39 s"));
        QCOMPARE(form_->EX->text(), QString("E&xit"));
    }

    void controlNamesAndPropertiesIgnoreCase() {
        Translate("Form1.up.caption=Senden\r\n");
        QCOMPARE(form_->UP->text(), QString("Senden"));
    }

    void shippedGermanTranslationCoversEveryTranslatableControl() {
        QFile german(QString(VAXO_SOURCE_DIR) + "/examples/vaxow.lng");
        QVERIFY(german.open(QIODevice::ReadOnly));
        const QByteArray translation = german.readAll();
        WriteFile(resources_->filePath("vaxow.lng"), translation);
        Open();
        QCOMPARE(form_->UP->text(), QString("Sen&den"));
        QCOMPARE(form_->UPCHPS->text(), QString::fromUtf8("Bei Änderung senden"));
        QCOMPARE(form_->Label11->text(), QString("Fehler"));
        for (QWidget* widget : form_->findChildren<QWidget*>()) {
            if (vaxo::ui::TagOf(widget) > 0) {
                const QString name = widget->objectName();
                QVERIFY2(translation.contains("Form1." + name.toUtf8() + ".Caption="),
                         qPrintable(name));
            }
        }
    }

    void helpFileIsShownWithItsFormatting() {
        WriteFile(resources_->filePath("vaxohelp.rtf"),
                  "{\\rtf1\\ansi\\ansicpg1250{\\fonttbl{\\f0\\fcharset238 Arial;}}"
                  "\\f0 Plain {\\b Bold} \\'e8\\par}");
        Open();
        QCOMPARE(form_->HelpBox->toPlainText(), QString::fromUtf8("Plain Bold č"));
        QTextCursor cursor(form_->HelpBox->document());
        cursor.setPosition(8);
        QCOMPARE(cursor.charFormat().fontWeight(), int(QFont::Bold));
    }

    // A step that fails is told, and start-up goes on: the port is still
    // prepared.
    void unreadableHelpFileIsToldAndStartUpGoesOn() {
        QDir(resources_->path()).mkdir("vaxohelp.rtf");
        Open();
        QCOMPARE(dialogs_.errors.size(), 1);
        QVERIFY(dialogs_.errors.front().startsWith("Cannot open file "));
        QVERIFY(form_->HelpBox->toPlainText().contains("missing"));
        QTRY_COMPARE_WITH_TIMEOUT(encoder_->Writes(), 1L, kPatience);
    }

    void tooLargeHelpFileIsPassedOverAndStartUpGoesOn() {
        WriteFile(resources_->filePath("vaxohelp.rtf"), QByteArray(16 * 1024 * 1024 + 1, 'x'));
        Open();
        QVERIFY(dialogs_.errors.isEmpty());
        QCOMPARE(form_->HelpBox->toPlainText(), QString("(help file vaxohelp.rtf is too large)"));
        QTRY_VERIFY_WITH_TIMEOUT(encoder_->Writes() > 0, kPatience);  // the port was prepared
    }

    void invalidPictureIsReported() {
        WriteFile(resources_->filePath("logo.bmp"), "not a bitmap");
        Open();
        QCOMPARE(dialogs_.errors, QStringList{"Bitmap image is not valid"});
    }

    void onlyTheSkinPictureReplacesItsBuiltInOne() {
        QImage skin(10, 10, QImage::Format_RGB32);
        skin.fill(Qt::red);
        QVERIFY(skin.save(resources_->filePath("skin.bmp"), "BMP"));
        Open();
        QCOMPARE(form_->SKIN->pixmap().toImage().pixelColor(5, 5), QColor(Qt::red));
        QVERIFY(form_->LOGO->pixmap().toImage().pixelColor(5, 5) != QColor(Qt::red));
    }

    void registrationMakesStationFilesOpenInTheProgram() {
        if (QStandardPaths::findExecutable("xdg-mime").isEmpty() ||
            QStandardPaths::findExecutable("mimetype").isEmpty()) {
            QSKIP("xdg-utils and libfile-mimeinfo-perl are needed");
        }
        QTemporaryDir data, config;
        qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        qunsetenv("XDG_CURRENT_DESKTOP");
        Open();
        QVERIFY(form_->REGRDS->isEnabled());
        Click(form_->REGRDS);
        QVERIFY(!form_->REGRDS->isEnabled());
        WriteFile(File("station.rds"), "CLEAR\r\nPS=TEST\r\n");
        QProcess query;
        query.start("xdg-mime", {"query", "filetype", File("station.rds")});
        QVERIFY(query.waitForFinished(20000));
        QCOMPARE(QString(query.readAllStandardOutput()).trimmed(),
                 QString("application/x-vaxo-station"));
        query.start("xdg-mime", {"query", "default", "application/x-vaxo-station"});
        QVERIFY(query.waitForFinished(20000));
        QCOMPARE(QString(query.readAllStandardOutput()).trimmed(), QString("vaxow.desktop"));
        QFile desktop(data.filePath("applications/vaxow.desktop"));
        QVERIFY(desktop.open(QIODevice::ReadOnly));
        QVERIFY(desktop.readAll().contains(" %f\n"));
        QVERIFY(QFile::exists(data.filePath("icons/hicolor/64x64/apps/vaxow.png")));
        qunsetenv("XDG_DATA_HOME");
        qunsetenv("XDG_CONFIG_HOME");
    }
};

QTEST_MAIN(TForm1Test)
#include "tform1_test.moc"
