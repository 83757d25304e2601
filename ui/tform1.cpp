#include "ui/tform1.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QBuffer>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QImage>
#include <QUrl>
#include <filesystem>

#include "base/file_io.h"
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
      program_({*this, services.portLayer, services.linkPort, services.timing,
                [] {
                    return ImageClock{LocalNow(), WindowDecimalSeparator()};
                },
                services.programDir}) {
    BuildWindow();
    ConnectControls();
    program_.Set().OnChange([this] { RefreshFromSet(); });
    program_.StartVAXO(arguments);
    if (program_.IsFirstInstance()) {
        RefreshFromSet();
        ShowPortInUse();
        PS->setFocus();
        Timer1->start();
        connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
                &TForm1::OnIdle);
    }
}

TForm1::~TForm1() {
    static_cast<void>(program_.ExitApp());  // a failed save has been shown
    program_.EndProcess();
}

void TForm1::closeEvent(QCloseEvent* event) {
    closing_ = true;
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
    program_.CheckHandOver();
    inIdleCheck_ = false;
}

// --- what a send shows -------------------------------------------------------

void TForm1::SendStarted() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    Label11->hide();
    ProgressBar1->show();
}

void TForm1::SetProgress(int percent) {
    ProgressBar1->setValue(percent);
    ProgressBar1->repaint();  // the send blocks the event loop: paint now
}

void TForm1::HandlePendingEvents() {
    QCoreApplication::processEvents();
}

void TForm1::SendFailed() {
    ProgressBar1->hide();
    Label11->setToolTip(QString::fromStdString(DescribeLinkProblem(program_.Link().LastProblem())));
    Label11->show();
    Label11->repaint();
}

void TForm1::SendFinished() {
    QApplication::restoreOverrideCursor();
    ShowPortInUse();
}

void TForm1::ShowPortInUse() {
    const PortInUse port = program_.Link().PortInUseNow();
    const QString text =
        QString::fromStdString(port.problem ? DescribeLinkProblem(port.problem) : port.description);
    PORTINFO->setText(PORTINFO->fontMetrics().elidedText(text, Qt::ElideRight, PORTINFO->width()));
    PORTINFO->setToolTip(text);
}

void TForm1::ShowLastSent(const LastSentRecord& record) {
    QStringList lines;
    for (const auto& line : record) {
        lines << FromStationText(line);
    }
    SENT->setPlainText(lines.join('\n'));
}

void TForm1::RequestExit() {
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
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

void TForm1::SetCaption(const std::string& text) {
    setWindowTitle(FromFileName(text));
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

void TForm1::HighPriorityRefused(const std::string& why) {
    HIPRI->setToolTip(QString::fromStdString(why));
}

void TForm1::ClearDecoderIdFocus() {
    DI->setCurrentItem(nullptr);
    DI->clearSelection();
}

void TForm1::FollowDerivedState(const DerivedState& state) {
    RTs[0]->setReadOnly(state.rtLocked);
    RTFILE->setReadOnly(state.rtLocked);
    for (QLineEdit* box : DPS) {
        box->setReadOnly(state.dpsLocked);
    }
    PSFILE->setReadOnly(state.psFileLocked);
    DPSP->setText(QString::fromStdString(state.repeatLabel));
    RTST->setText(QString::fromStdString(state.switchLabel));
}

std::optional<std::string> TForm1::ChooseStationToLoad() {
    const auto chosen = services_.dialogs.OpenStation(this);
    return chosen ? std::optional(ToFileName(*chosen)) : std::nullopt;
}

std::optional<std::string> TForm1::ChooseStationToSave(const std::string& proposal) {
    const auto chosen = services_.dialogs.SaveStation(this, FromStationText(proposal));
    return chosen ? std::optional(ToFileName(*chosen)) : std::nullopt;
}

void TForm1::RestoreFromHandOver() {
    if (isMinimized()) {
        showNormal();
        raise();
        activateWindow();
    }
}

void TForm1::ChooseFeedFile(QLineEdit* target, std::string RdsParameterSet::*field) {
    if (const auto chosen = services_.dialogs.OpenAnyFile(this)) {
        program_.Set().*field = ToFileName(*chosen);
        target->setText(*chosen);
    }
    program_.ReturnToProgramDir();
}

}  // namespace vaxo::ui
