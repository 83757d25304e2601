#include "ui/dialogs.h"

#include <QMessageBox>
#include <QPushButton>
#include <cstdio>

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include "base/product.h"
#include "ui/text_boundary.h"

namespace vaxo::ui {

namespace {

std::optional<QString> Run(QFileDialog& dialog) {
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().front();
}

}  // namespace

std::optional<QString> QtDialogs::OpenStation(QWidget* parent) {
    QFileDialog dialog(parent, QString(), QDir::currentPath(), "VAXO files (*.rds)");
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix("rds");
    return Run(dialog);
}

namespace {

// The save dialog stays open while the chosen folder does not exist.
class SaveStationDialog : public QFileDialog {
  public:
    using QFileDialog::QFileDialog;
    void accept() override {
        const QStringList chosen = selectedFiles();
        if (!chosen.isEmpty() && !QFileInfo(chosen.front()).absoluteDir().exists()) {
            QMessageBox::warning(this, windowTitle(),
                                 QString("The folder %1 does not exist.")
                                     .arg(QFileInfo(chosen.front()).absolutePath()));
            return;
        }
        QFileDialog::accept();
    }
};

}  // namespace

std::optional<QString> QtDialogs::SaveStation(QWidget* parent, const QString& proposal) {
    SaveStationDialog dialog(parent, QString(), QDir::currentPath(), "VAXO files (*.rds)");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix("rds");
    dialog.selectFile(proposal);
    return Run(dialog);
}

std::optional<QString> QtDialogs::OpenAnyFile(QWidget* parent) {
    QFileDialog dialog(parent, QString(), QDir::currentPath(), kAnyFileFilter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return Run(dialog);
}

void QtDialogs::ShowError(QWidget* parent, const QString& text) {
    QMessageBox::critical(parent, kProductName, text);
}

namespace {

// The answer's index, or the last (the one that changes nothing) when the
// box was closed.
std::size_t Ask(QWidget* parent, const Question& question) {
    QMessageBox box(QMessageBox::Question, kProductName, QString::fromStdString(question.text),
                    QMessageBox::NoButton, parent);
    std::vector<QAbstractButton*> buttons;
    for (const std::string& answer : question.answers) {
        const auto role = buttons.empty() ? QMessageBox::AcceptRole
                          : buttons.size() + 1 == question.answers.size()
                              ? QMessageBox::RejectRole
                              : QMessageBox::DestructiveRole;
        buttons.push_back(box.addButton(QString::fromStdString(answer), role));
    }
    box.setDefaultButton(static_cast<QPushButton*>(buttons.front()));
    box.exec();
    const auto chosen = std::find(buttons.begin(), buttons.end(), box.clickedButton());
    return chosen == buttons.end() ? buttons.size() - 1
                                   : static_cast<std::size_t>(chosen - buttons.begin());
}

}  // namespace

ChangedStationChoice QtDialogs::AskAboutChangedStation(QWidget* parent, const QString& file) {
    return static_cast<ChangedStationChoice>(
        Ask(parent, ChangedStationQuestion(file.toStdString())));
}

UnsavedChoice QtDialogs::AskAboutUnsavedHandOver(QWidget* parent, const QString& station,
                                                 const QString& handed) {
    return static_cast<UnsavedChoice>(
        Ask(parent, UnsavedHandOverQuestion(station.toStdString(), handed.toStdString())));
}

void HeadlessDialogs::ShowError(QWidget*, const QString& text) {
    std::fprintf(stderr, "%s\n", qPrintable(text));
}

namespace {

std::optional<std::string> AsFileName(const std::optional<QString>& chosen) {
    return chosen ? std::optional(ToFileName(*chosen)) : std::nullopt;
}

}  // namespace

std::optional<std::string> ParentedDialogs::OpenStation() {
    return AsFileName(dialogs_.OpenStation(parent_));
}

std::optional<std::string> ParentedDialogs::SaveStation(const std::string& proposal) {
    return AsFileName(dialogs_.SaveStation(parent_, FromStationText(proposal)));
}

std::optional<std::string> ParentedDialogs::OpenAnyFile() {
    return AsFileName(dialogs_.OpenAnyFile(parent_));
}

void ParentedDialogs::ShowError(const std::string& text) {
    dialogs_.ShowError(parent_, FromFileName(text));
}

ChangedStationChoice ParentedDialogs::AskAboutChangedStation(const std::string& file) {
    return dialogs_.AskAboutChangedStation(parent_, FromFileName(file));
}

UnsavedChoice ParentedDialogs::AskAboutUnsavedHandOver(const std::string& station,
                                                       const std::string& handed) {
    return dialogs_.AskAboutUnsavedHandOver(parent_, FromFileName(station), FromFileName(handed));
}

}  // namespace vaxo::ui
