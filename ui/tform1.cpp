#include "ui/tform1.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QBuffer>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QImage>
#include <QUrl>
#include <filesystem>

#include "app/wear_words.h"
#include "base/file_io.h"
#include "base/overloaded.h"
#include "platform/file_type_registration.h"
#include "platform/program_dir.h"
#include "ui/built_in_pictures.h"
#include "ui/rtf_document.h"
#include "ui/text_boundary.h"
#include "ui/vek_language.h"

namespace vaxo::ui {
namespace {

char WindowDecimalSeparator() {
    const QString point = QLocale().decimalPoint();
    return point.size() == 1 && point[0].unicode() < 0x80 ? static_cast<char>(point[0].unicode())
                                                          : '.';
}

}  // namespace

TForm1::TForm1(WindowServices services, const std::vector<std::string>& arguments, QWidget* parent)
    : QWidget(parent),
      services_(services),
      host_(this, {{"live text", "Timer1"}, {"radiotext switching", "Timer2"}}),
      program_({host_, services.portLayer, services.linkPort, services.timing,
                [] {
                    return ImageClock{LocalNow(), WindowDecimalSeparator()};
                },
                services.programDir}) {
    BuildWindow();
    ConnectControls();
    listening_ = program_.Listen([this](const ProgramEvent& event) { OnProgramEvent(event); });
    program_.OnUnsavedHandOver([this](const std::string& station, const std::string& handed) {
        return services_.dialogs.AskAboutUnsavedHandOver(this, FromFileName(station),
                                                         FromFileName(handed));
    });
    LoadDefaultLanguage();
    program_.Start(arguments, [this] { ShowHelp(); });
    if (program_.IsFirstInstance()) {
        RefreshFromSet();
        FollowDerivedState(program_.Derived());
        ShowLastSent(shownBank_);
        if (program_.StartedCompletely()) {
            ClearDecoderIdFocus();
        }
        PS->setFocus();
        QApplication::instance()->installEventFilter(this);
        connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
                &TForm1::OnIdle);
        StartNetwork();
    }
}

TForm1::~TForm1() {
    StopWeb();
    static_cast<void>(program_.SaveOnExit(changedStation_));  // a failed save has been shown
    program_.ReleasePort();
    listening_.Remove();
}

// The operator closing the window is asked what Auto Save is to do with a
// station file another program changed; a signal or "Exit after Send" is
// nobody to ask, and the set goes beside it.
void TForm1::closeEvent(QCloseEvent* event) {
    closing_ = true;
    const bool byOperator = event->spontaneous() || exitAsked_;
    if (byOperator && program_.Set().AUTOSAVE && program_.StationChangedOnDisk()) {
        changedStation_ = services_.dialogs.AskAboutChangedStation(
            this, FromFileName(program_.Set().StationFileName));
    }
    QWidget::closeEvent(event);
}

// A hand-over waits while a dialog or message box is open: the station must
// not change under it.
void TForm1::OnIdle() {
    if (inIdleCheck_ || closing_ || QApplication::activeModalWidget() ||
        QApplication::activePopupWidget()) {
        return;
    }
    inIdleCheck_ = true;
    program_.TakeHandOver();
    inIdleCheck_ = false;
}

// While a send runs the window keeps painting, but the operator's keys and
// clicks wait: what is on its way to the encoder is not edited meanwhile.
bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (!sending_ || !watched->isWidgetType()) {
        return false;
    }
    switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
            return static_cast<QWidget*>(watched)->window() == this;
        default:
            return false;
    }
}

void TForm1::OnProgramEvent(const ProgramEvent& event) {
    std::visit(
        Overloaded{
            [this](const FieldsChanged& changed) {
                RefreshFromSet();
                if (std::find(changed.keys.begin(), changed.keys.end(), "ALONTOP") !=
                    changed.keys.end()) {
                    ApplyAlwaysOnTop(program_.Set().ALONTOP);
                }
            },
            [this](const DerivedStateChanged& derived) { FollowDerivedState(derived.state); },
            [this](const TitleChanged& title) { setWindowTitle(FromFileName(title.title)); },
            [this](const vaxo::SendStarted&) { SendStarted(); },
            [this](const SendProgress& progress) { ProgressBar1->setValue(progress.percent); },
            [this](const vaxo::SendFinished& send) { SendFinished(send); },
            [this](const PortChanged& port) { ShowPortInUse(port.port); },
            [this](const ErrorReported& error) { ShowErrorMessage(error.text); },
            [this](const PriorityRefused& refused) {
                HIPRI->setToolTip(QString::fromStdString(refused.why));
            },
            [this](const HandOverTaken&) { RestoreFromHandOver(); },
            [this](const ExitRequested&) {
                QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
            },
            [](const FeedChanged&) {},
            [this](const vaxo::SendsHeld& held) { NoteLink(DescribeSendsHeld(held)); },
            [this](const WearWarning& warning) { NoteLink(DescribeWearWarning(warning)); },
            [this](const RemoteCommand& command) {
                NoteRemote(remoteLog_.Note(command, RemoteCommandLog::Clock::now()));
            },
        },
        event);
}

// --- what a send shows -------------------------------------------------------

void TForm1::SendStarted() {
    sending_ = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    Label11->hide();
    ProgressBar1->show();
}

void TForm1::SendFinished(const vaxo::SendFinished& send) {
    sendProblem_ =
        send.problem ? QString::fromStdString(DescribeLinkProblem(send.problem)) : QString();
    ShowErrorTip();
    if (send.problem) {
        ProgressBar1->hide();
        Label11->show();
    } else {
        ShowLastSent(shownBank_);
    }
    ProgressBar1->setValue(0);
    QApplication::restoreOverrideCursor();
    sending_ = false;
    ShowOnAir();
}

// Only while the page is shown: it decodes an image each time.
void TForm1::ShowOnAir() {
    if (Zalozky->currentWidget() != OnAir) {
        return;
    }
    switch (OnAir->Shown()) {
        case OnAirPage::Source::Bank1:
            OnAir->Show(program_.Sends().OnAir(1));
            break;
        case OnAirPage::Source::Bank2:
            OnAir->Show(program_.Sends().OnAir(2));
            break;
        case OnAirPage::Source::Preview:
            OnAir->Show(program_.PreviewMemory());
            break;
    }
    // The memory's wear, below what the listener gets.
    OnAir->ONAIRWARN->appendPlainText(QString::fromStdString(
        "Memory: " + DescribeWear(program_.Sends().Ledger(), program_.WearYearsLeft())));
    if (const auto& held = program_.Sends().Held()) {
        OnAir->ONAIRWARN->appendPlainText(QString::fromStdString(
            DescribeSendsHeld({held->block, held->page, held->perDay, held->next})));
    }
}

void TForm1::ShowPortInUse(const PortInUse& port) {
    const QString text =
        QString::fromStdString(port.problem ? DescribeLinkProblem(port.problem) : port.description);
    PORTINFO->setText(PORTINFO->fontMetrics().elidedText(text, Qt::ElideRight, PORTINFO->width()));
    PORTINFO->setToolTip(text);
}

// The record of the bank the Settings page's choice shows.
void TForm1::ShowLastSent(int bank) {
    shownBank_ = bank;
    QStringList lines;
    for (const auto& line : program_.Set().LastSent[bank == 2 ? 1 : 0]) {
        lines << FromStationText(line);
    }
    SENT->setPlainText(lines.join('\n'));
}

// --- start-up and dialogs ----------------------------------------------------

std::string TForm1::ResourceFile(const char* name) const {
    return services_.resourceDir.empty() ? ResourcePath(name) : services_.resourceDir + name;
}

void TForm1::LoadDefaultLanguage() {
    TvekLanguage vekLanguage1(services_.resourceDir.empty() ? QString()
                                                            : FromFileName(services_.resourceDir));
    vekLanguage1.LoadDefaultLanguage(*this);
}

namespace {

// Bounds no real help file or picture reaches; a larger one is passed over
// and start-up goes on.
constexpr std::size_t kHelpFileLimit = 16 * 1024 * 1024;
constexpr std::size_t kPictureLimit = 32 * 1024 * 1024;

std::optional<std::string> ReadUnlessTooLarge(const std::string& path, std::size_t limit) {
    try {
        return ReadFileIfExists(path, limit);
    } catch (const FileError& error) {
        if (error.kind() == FileError::Kind::TooLarge) {
            return std::nullopt;
        }
        throw;
    }
}

// A picture that replaces a built-in one; none when the file does not exist.
std::optional<QPixmap> ReplacementPicture(const std::string& path) {
    const auto bytes = ReadUnlessTooLarge(path, kPictureLimit);
    if (!bytes) {
        return std::nullopt;
    }
    QImage image;
    if (!image.loadFromData(QByteArray::fromStdString(*bytes))) {
        throw FileError("Bitmap image is not valid");
    }
    return QPixmap::fromImage(image);
}

}  // namespace

void TForm1::ShowHelp() {
    const std::string helpFile = ResourceFile("vaxohelp.rtf");
    if (const auto help = ReadUnlessTooLarge(helpFile, kHelpFileLimit)) {
        LoadRtf(*HelpBox->document(), *help);
        HelpBox->moveCursor(QTextCursor::Start);
    } else if (std::filesystem::exists(helpFile)) {
        HelpBox->setPlainText("(help file vaxohelp.rtf is too large)");
    }
    if (const auto logo = ReplacementPicture(ResourceFile("logo.bmp"))) {
        LOGO->setPixmap(*logo);
    }
    if (const auto skin = ReplacementPicture(ResourceFile("skin.bmp"))) {
        SKIN->setPixmap(*skin);
    }
}

void TForm1::REGRDSClick() {
    QByteArray icon;
    QBuffer buffer(&icon);
    buffer.open(QIODevice::WriteOnly);
    BuiltInIcon().save(&buffer, "PNG");
    try {
        RegisterStationFileType({ToFileName(QCoreApplication::applicationFilePath()),
                                 icon.toStdString(), UserDataHome(), UserConfigHome()});
    } catch (const std::exception& error) {
        ShowErrorMessage(error.what());
        return;
    }
    REGRDS->setEnabled(false);
}

void TForm1::Label8Click() {
    QDesktopServices::openUrl(QUrl::fromLocalFile(FromFileName(ManualPath())));
}

void TForm1::ShowErrorMessage(const std::string& text) {
    services_.dialogs.ShowError(this, FromFileName(text));
}

void TForm1::ApplyAlwaysOnTop(bool on) {
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) == on) {
        return;
    }
    const bool shown = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (shown) {
        show();
    }
}

void TForm1::ClearDecoderIdFocus() {
    DI->setCurrentItem(nullptr);
    DI->clearSelection();
}

// A field a feed writes is read-only; the labels show the periods.
void TForm1::FollowDerivedState(const DerivedState& state) {
    RTs[0]->setReadOnly(state.radiotextFed);
    RTFILE->setReadOnly(state.radiotextFed);
    for (QLineEdit* box : DPS) {
        box->setReadOnly(state.dpsFed);
    }
    PSFILE->setReadOnly(state.dpsFileInUse);
    DPSP->setText(QString::number(state.repeatSeconds) + " s");
    RTST->setText(QString::number(state.switchingMinutes) + " min");
}

void TForm1::LoadChosenStation() {
    if (const auto chosen = services_.dialogs.OpenStation(this)) {
        static_cast<void>(Do(LoadStation{ToFileName(*chosen)}));
    }
}

void TForm1::SaveStationAs() {
    const auto chosen =
        services_.dialogs.SaveStation(this, FromStationText(SaveAsProposal(program_.Set().PS)));
    if (chosen) {
        static_cast<void>(Do(vaxo::SaveStationAs{ToFileName(*chosen)}));
    }
}

void TForm1::RestoreFromHandOver() {
    if (isMinimized()) {
        showNormal();
        raise();
        activateWindow();
    }
}

// field: the feed's file name, RTSF or DPSSF.
void TForm1::ChooseFeedFile(FieldId field) {
    if (const auto chosen = services_.dialogs.OpenAnyFile(this)) {
        Set(field, ToFileName(*chosen));
    }
}

}  // namespace vaxo::ui
