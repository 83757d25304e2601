// The controls bound to the window model by their names: the operator's
// input goes to the model, the model's state is drawn where it differs.
#include <QApplication>
#include <QScopedValueRollback>
#include <QShortcut>

#include "ui/text_boundary.h"
#include "ui/tform1.h"

namespace vaxo::ui {
namespace {

// Shows text in a box unless the box already shows it, so that a field the
// operator did not edit keeps the very bytes that were loaded.
void ShowText(QLineEdit* box, const QString& text) {
    if (box->text() != text) {
        box->setText(text);
    }
}

// A choice is shown off too (no radiotext may be current): its group's
// exclusivity is lifted while it is set.
void ShowChecked(QAbstractButton* button, bool on) {
    if (button->isChecked() == on) {
        return;
    }
    const bool exclusive = button->autoExclusive();
    button->setAutoExclusive(false);
    button->setChecked(on);
    button->setAutoExclusive(exclusive);
}

std::string Utf8Name(const QObject* control) {
    return control->objectName().toStdString();
}

}  // namespace

template <typename Widget>
Widget* TForm1::Control(const std::string& name) const {
    return qobject_cast<Widget*>(controls_.value(QString::fromStdString(name)));
}

void TForm1::ConnectControls() {
    for (QWidget* control : findChildren<QWidget*>()) {
        if (!control->objectName().isEmpty()) {
            controls_.insert(control->objectName(), control);
        }
    }
    ConnectTexts();
    ConnectChoices();
    for (QPushButton* button : {UP, EX, LOAD, SAVE, SAAS, DPBR, RTBR}) {
        connect(button, &QPushButton::clicked, this,
                [this, button] { model_.Clicked(Utf8Name(button)); });
    }
    const std::pair<const char*, QPushButton*> shortcuts[] = {
        {"Ctrl+O", LOAD}, {"Ctrl+S", SAVE}, {"Ctrl+Shift+S", SAAS}, {"Ctrl+Q", EX}};
    for (const auto& [key, button] : shortcuts) {
        connect(new QShortcut(QKeySequence(key), this), &QShortcut::activated, button,
                &QPushButton::click);
    }
    connect(REGRDS, &QPushButton::clicked, this, [this] { REGRDSClick(); });
    connect(Zalozky, &QTabWidget::currentChanged, this, [this] { ShowOnAir(); });
    for (QRadioButton* choice : {OnAir->ONAIRB1, OnAir->ONAIRB2, OnAir->ONAIRNOW}) {
        connect(choice, &QRadioButton::toggled, this, [this](bool on) {
            if (on) {
                ShowOnAir();
            }
        });
    }
    connect(Label8, &QLabel::linkActivated, this, [this] { Label8Click(); });
}

// Station texts are Windows-1250 bytes, the feed files' names the file
// system's; the box's name says which.
void TForm1::ConnectTexts() {
    const auto bytesOf = [this](QLineEdit* box, const QString& text) {
        return box == RTFILE || box == PSFILE ? ToFileName(text) : ToStationText(text);
    };
    for (QLineEdit* box : findChildren<QLineEdit*>()) {
        if (box->objectName().isEmpty()) {
            continue;
        }
        connect(box, &QLineEdit::textEdited, this, [this, box, bytesOf](const QString& text) {
            model_.TextEdited(Utf8Name(box), bytesOf(box, text));
        });
        connect(box, &QLineEdit::editingFinished, this, [this, box, bytesOf] {
            const std::string name = Utf8Name(box);
            model_.TextLeft(name, bytesOf(box, box->text()));
            // Left, a draft box shows what the station took of it.
            if (HoldsDraft(name)) {
                ShowText(box, FromStationText(model_.State().stationTexts.at(name)));
            }
        });
    }
}

void TForm1::ConnectChoices() {
    for (QComboBox* list : {PTY, MS, TP, TA}) {
        connect(list, &QComboBox::activated, this,
                [this, list](int index) { model_.Picked(Utf8Name(list), index); });
    }
    for (QSlider* bar : {TrackBar1, TrackBar2}) {
        connect(bar, &QSlider::valueChanged, this, [this, bar](int value) {
            if (!refreshing_) {
                model_.Picked(Utf8Name(bar), value);
            }
        });
    }
    connect(DI, &QListWidget::itemChanged, this, [this](QListWidgetItem*) {
        if (refreshing_) {
            return;
        }
        DecoderId di{};
        for (int row = 0; row < DI->count(); ++row) {
            di[static_cast<std::size_t>(row)] = DI->item(row)->checkState() == Qt::Checked;
        }
        model_.DecoderIdTicked(di);
    });
    for (QAbstractButton* button : findChildren<QAbstractButton*>()) {
        if (qobject_cast<QCheckBox*>(button) || qobject_cast<QRadioButton*>(button)) {
            connect(button, &QAbstractButton::clicked, this,
                    [this, button](bool on) { model_.Ticked(Utf8Name(button), on); });
        }
    }
}

void TForm1::Show(const WindowState& state) {
    const QScopedValueRollback<bool> guard(refreshing_, true);
    ShowTexts(state);
    ShowTicks(state);
    ShowLabels(state);
    ShowSending(state);
    if (windowTitle() != FromFileName(state.caption) && !state.caption.empty()) {
        setWindowTitle(FromFileName(state.caption));
    }
    ApplyAlwaysOnTop(state.alwaysOnTop);
    REGRDS->setEnabled(!state.registered);
}

void TForm1::ShowTexts(const WindowState& state) {
    const auto show = [this, &state](const std::string& name, const QString& text) {
        if (auto* box = Control<QLineEdit>(name)) {
            // A PI or frequency box the operator is in keeps the draft.
            if (!(HoldsDraft(name) && box->hasFocus())) {
                ShowText(box, text);
            }
            box->setReadOnly(state.readOnly.contains(name));
        }
    };
    for (const auto& [name, bytes] : state.stationTexts) {
        show(name, FromStationText(bytes));
    }
    for (const auto& [name, bytes] : state.fileNames) {
        show(name, FromFileName(bytes));
    }
}

void TForm1::ShowTicks(const WindowState& state) {
    for (const auto& [name, on] : state.ticks) {
        if (auto* button = Control<QAbstractButton>(name)) {
            ShowChecked(button, on);
        }
    }
    for (const auto& [name, value] : state.picks) {
        if (auto* list = Control<QComboBox>(name)) {
            list->setCurrentIndex(value);
        } else if (auto* bar = Control<QSlider>(name)) {
            bar->setValue(value);
        }
    }
    for (int row = 0; row < DI->count(); ++row) {
        const bool on = state.decoderId[static_cast<std::size_t>(row)];
        DI->item(row)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    }
}

void TForm1::ShowLabels(const WindowState& state) {
    for (const auto& [name, text] : state.labels) {
        const QString shown = QString::fromStdString(text);
        if (auto* memo = Control<QPlainTextEdit>(name)) {
            if (memo->toPlainText() != shown) {
                memo->setPlainText(shown);
            }
        } else if (auto* label = Control<QLabel>(name)) {
            label->setText(label == PORTINFO ? label->fontMetrics().elidedText(
                                                   shown, Qt::ElideRight, label->width())
                                             : shown);
        }
    }
    for (const auto& [name, tip] : state.tips) {
        if (QWidget* control = controls_.value(QString::fromStdString(name))) {
            control->setToolTip(QString::fromStdString(tip));
        }
    }
}

void TForm1::ShowSending(const WindowState& state) {
    if (state.sending != busyCursor_) {
        busyCursor_ = state.sending;
        if (busyCursor_) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
        } else {
            QApplication::restoreOverrideCursor();
        }
    }
    ProgressBar1->setValue(state.progress);
    Label11->setVisible(state.errorShown);
    ProgressBar1->setVisible(!state.errorShown);
}

}  // namespace vaxo::ui
