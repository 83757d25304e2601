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
#include "window/window_resources.h"

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
      dialogs_(services.dialogs, this),
      model_({host_, services.portLayer, services.linkPort, services.timing, dialogs_,
              WindowDecimalSeparator, services.programDir, services.readBack},
             *this) {
    BuildWindow();
    ConnectControls();
    LoadDefaultLanguage();
    model_.Start(arguments);
    if (model_.IsFirstInstance()) {
        if (Program().View().StartedCompletely()) {
            ClearDecoderIdFocus();
        }
        PS->setFocus();
        QApplication::instance()->installEventFilter(this);
        connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
                &TForm1::OnIdle);
    }
}

TForm1::~TForm1() {
    // The widgets outlive this window's part of the object: hiding them at
    // the end takes their focus, which must reach neither model nor window.
    for (QObject* control : findChildren<QObject*>()) {
        QObject::disconnect(control, nullptr, this, nullptr);
    }
    QObject::disconnect(QAbstractEventDispatcher::instance(), nullptr, this, nullptr);
    if (busyCursor_) {
        QApplication::restoreOverrideCursor();
    }
}

void TForm1::closeEvent(QCloseEvent* event) {
    model_.Closing(event->spontaneous());
    QWidget::closeEvent(event);
}

void TForm1::OnIdle() {
    model_.Idle(QApplication::activeModalWidget() || QApplication::activePopupWidget());
}

// While a send runs the window keeps painting, but the operator's keys and
// clicks wait: what is on its way to the encoder is not edited meanwhile.
bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (!model_.State().sending || !watched->isWidgetType()) {
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

// Only while the page is shown: it decodes an image each time.
void TForm1::ShowOnAir() {
    if (Zalozky->currentWidget() != OnAir) {
        return;
    }
    OnAir->Show(model_.OnAir(OnAir->Shown()));
    for (const std::string& note : model_.OnAirNotes()) {
        OnAir->ONAIRWARN->appendPlainText(QString::fromStdString(note));
    }
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
    model_.RegisterFileType([&icon] {
        RegisterStationFileType({ToFileName(QCoreApplication::applicationFilePath()),
                                 icon.toStdString(), UserDataHome(), UserConfigHome()});
    });
}

void TForm1::Label8Click() {
    QDesktopServices::openUrl(QUrl::fromLocalFile(FromFileName(ManualPath())));
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

void TForm1::Restore() {
    if (isMinimized()) {
        showNormal();
        raise();
        activateWindow();
    }
}

// After the current event: the model may be in the middle of a command.
void TForm1::Close() {
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

}  // namespace vaxo::ui
