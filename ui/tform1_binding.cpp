// Binding of the controls to the parameter set: operator edits go to the set
// and its handlers; every change of the set is shown again.
#include <QScopedValueRollback>
#include <QShortcut>

#include "ui/text_boundary.h"
#include "ui/tform1.h"

namespace vaxo::ui {
namespace {

// Shows bytes in a box unless the box already shows them, so that a field
// the operator did not edit keeps the very bytes that were loaded.
void ShowText(QLineEdit* box, const QString& text) {
    if (box->text() != text) {
        box->setText(text);
    }
}

void ShowChecked(QAbstractButton* button, bool on) {
    if (button->isChecked() != on) {
        button->setChecked(on);
    }
}

}  // namespace

void TForm1::ConnectControls() {
    ConnectTexts();
    ConnectChoices();
    ConnectTimers();
    connect(UP, &QPushButton::clicked, this, [this] { program_.UPClick(); });
    connect(EX, &QPushButton::clicked, this, [this] { program_.EXClick(); });
    connect(LOAD, &QPushButton::clicked, this, [this] { program_.LOADClick(); });
    connect(SAVE, &QPushButton::clicked, this, [this] { program_.SAVEClick(); });
    connect(SAAS, &QPushButton::clicked, this, [this] { program_.SAASClick(); });
    const std::pair<const char*, QPushButton*> shortcuts[] = {
        {"Ctrl+O", LOAD}, {"Ctrl+S", SAVE}, {"Ctrl+Shift+S", SAAS}, {"Ctrl+Q", EX}};
    for (const auto& [key, button] : shortcuts) {
        connect(new QShortcut(QKeySequence(key), this), &QShortcut::activated, button,
                &QPushButton::click);
    }
    connect(DPBR, &QPushButton::clicked, this,
            [this] { ChooseFeedFile(PSFILE, &RdsParameterSet::PSFILE); });
    connect(RTBR, &QPushButton::clicked, this,
            [this] { ChooseFeedFile(RTFILE, &RdsParameterSet::RTFILE); });
    connect(REGRDS, &QPushButton::clicked, this, [this] { REGRDSClick(); });
    connect(Label8, &QLabel::linkActivated, this, [this] { Label8Click(); });
}

void TForm1::ConnectTexts() {
    RdsParameterSet& set = program_.Set();
    auto station = [this](QLineEdit* box, auto write) {
        connect(box, &QLineEdit::textEdited, this,
                [write](const QString& text) { write(ToStationText(text)); });
    };
    station(PS, [&set](const std::string& bytes) { set.PS = bytes; });
    station(PI, [&set](const std::string& bytes) { set.PI = bytes; });
    for (std::size_t i = 0; i < AF.size(); ++i) {
        station(AF[i], [&set, i](const std::string& bytes) { set.AF[i] = bytes; });
    }
    for (std::size_t k = 0; k < DPS.size(); ++k) {
        station(DPS[k], [&set, k](const std::string& bytes) { set.DPS[k] = bytes; });
    }
    station(RTs[0], [&set](const std::string& bytes) { set.RT = bytes; });
    station(RTs[1], [&set](const std::string& bytes) { set.RT2 = bytes; });
    station(RTs[2], [&set](const std::string& bytes) { set.RT3 = bytes; });
    station(RTs[3], [&set](const std::string& bytes) { set.RT4 = bytes; });
    station(EFCHAR, [&set](const std::string& bytes) { set.EFCHAR = bytes; });
    connect(EFCHAR, &QLineEdit::editingFinished, this, [this] { program_.EFCHARExit(); });
    connect(RTFILE, &QLineEdit::textEdited, this,
            [&set](const QString& text) { set.RTFILE = ToFileName(text); });
    connect(PSFILE, &QLineEdit::textEdited, this,
            [&set](const QString& text) { set.PSFILE = ToFileName(text); });
}

void TForm1::ConnectChoices() {
    RdsParameterSet& set = program_.Set();
    auto pick = [this](QComboBox* list, int RdsParameterSet::*field) {
        connect(list, &QComboBox::activated, this,
                [this, field](int index) { program_.Set().*field = index; });
    };
    pick(PTY, &RdsParameterSet::PTY);
    pick(MS, &RdsParameterSet::MS);
    pick(TP, &RdsParameterSet::TP);
    pick(TA, &RdsParameterSet::TA);
    connect(DI, &QListWidget::itemChanged, this, [this, &set](QListWidgetItem* item) {
        if (!refreshing_) {
            set.DI[static_cast<std::size_t>(DI->row(item))] = item->checkState() == Qt::Checked;
        }
    });
    auto tick = [this](QCheckBox* box, bool RdsParameterSet::*field,
                       void (ControlProgram::*handler)()) {
        connect(box, &QCheckBox::clicked, this, [this, field, handler](bool on) {
            program_.Set().*field = on;
            if (handler) {
                (program_.*handler)();
            }
        });
    };
    tick(ENDPS, &RdsParameterSet::ENDPS, &ControlProgram::ENDPSClick);
    tick(PSFF, &RdsParameterSet::PSFF, &ControlProgram::PSFFClick);
    tick(RTFF, &RdsParameterSet::RTFF, &ControlProgram::RTFFClick);
    tick(RTSA, &RdsParameterSet::RTSA, &ControlProgram::RTSAClick);
    tick(ALONTOP, &RdsParameterSet::ALONTOP, &ControlProgram::ALONTOPClick);
    tick(HIPRI, &RdsParameterSet::HIPRI, &ControlProgram::HIPRIClick);
    tick(UPCHPS, &RdsParameterSet::UPCHPS, nullptr);
    tick(DPSA, &RdsParameterSet::DPSA, nullptr);
    tick(DPSC, &RdsParameterSet::DPSC, nullptr);
    tick(ABSW, &RdsParameterSet::ABSW, nullptr);
    tick(UPCH, &RdsParameterSet::UPCH, nullptr);
    tick(AUTBSW, &RdsParameterSet::AUTBSW, nullptr);
    tick(SEND, &RdsParameterSet::SEND, nullptr);
    tick(EXAL, &RdsParameterSet::EXAL, nullptr);
    tick(AUTOSAVE, &RdsParameterSet::AUTOSAVE, nullptr);
    connect(TrackBar1, &QSlider::valueChanged, this, [this, &set](int value) {
        if (!refreshing_) {
            set.DPSP = value;
            program_.TrackBar1Change();
        }
    });
    connect(TrackBar2, &QSlider::valueChanged, this, [this, &set](int value) {
        if (!refreshing_) {
            set.RTSAT = value;
            program_.TrackBar2Change();
        }
    });
    for (std::size_t i = 0; i < SRT.size(); ++i) {
        connect(SRT[i], &QRadioButton::clicked, this,
                [&set, i] { set.SELRT = static_cast<int>(i) + 1; });
    }
    connect(STB1, &QRadioButton::clicked, this, [&set] { set.STB = 1; });
    connect(STB2, &QRadioButton::clicked, this, [&set] { set.STB = 2; });
    connect(SHOWB1, &QRadioButton::clicked, this, [this] { program_.ShowLastSent(1); });
    connect(SHOWB2, &QRadioButton::clicked, this, [this] { program_.ShowLastSent(2); });
    auto port = [this](QRadioButton* button, int value) {
        connect(button, &QRadioButton::clicked, this, [this, value] {
            program_.Set().PORT = value;
            program_.PORTClick();
            ShowPortInUse();
        });
    };
    port(PORT1, 0);
    port(PORT2, 1);
}

void TForm1::ConnectTimers() {
    connect(Timer1, &QTimer::timeout, this, [this] { program_.Timer1Timer(); });
    connect(Timer2, &QTimer::timeout, this, [this] { program_.Timer2Timer(); });
}

void TForm1::RefreshFromSet() {
    const QScopedValueRollback<bool> guard(refreshing_, true);
    const RdsParameterSet& s = program_.Set();
    ShowText(PS, FromStationText(s.PS));
    ShowText(PI, FromStationText(s.PI));
    PTY->setCurrentIndex(s.PTY);
    MS->setCurrentIndex(s.MS);
    TP->setCurrentIndex(s.TP);
    TA->setCurrentIndex(s.TA);
    for (int row = 0; row < DI->count(); ++row) {
        DI->item(row)->setCheckState(s.DI[static_cast<std::size_t>(row)] ? Qt::Checked
                                                                         : Qt::Unchecked);
    }
    for (std::size_t i = 0; i < AF.size(); ++i) {
        ShowText(AF[i], FromStationText(s.AF[i]));
    }
    for (std::size_t k = 0; k < DPS.size(); ++k) {
        ShowText(DPS[k], FromStationText(s.DPS[k]));
    }
    const std::string* radiotexts[] = {&s.RT.str(), &s.RT2.str(), &s.RT3.str(), &s.RT4.str()};
    for (std::size_t i = 0; i < RTs.size(); ++i) {
        ShowText(RTs[i], FromStationText(*radiotexts[i]));
        SRT[i]->setAutoExclusive(false);
        ShowChecked(SRT[i], s.SELRT == static_cast<int>(i) + 1);
        SRT[i]->setAutoExclusive(true);
    }
    TrackBar1->setValue(s.DPSP);
    TrackBar2->setValue(s.RTSAT);
    ShowText(EFCHAR, FromStationText(s.EFCHAR));
    ShowText(RTFILE, FromFileName(s.RTFILE));
    ShowText(PSFILE, FromFileName(s.PSFILE));
    const std::pair<QAbstractButton*, bool> ticks[] = {
        {ENDPS, s.ENDPS},       {PSFF, s.PSFF},       {UPCHPS, s.UPCHPS},   {DPSA, s.DPSA},
        {DPSC, s.DPSC},         {RTSA, s.RTSA},       {ABSW, s.ABSW},       {RTFF, s.RTFF},
        {UPCH, s.UPCH},         {AUTBSW, s.AUTBSW},   {SEND, s.SEND},       {EXAL, s.EXAL},
        {AUTOSAVE, s.AUTOSAVE}, {HIPRI, s.HIPRI},     {ALONTOP, s.ALONTOP}, {STB1, s.STB == 1},
        {STB2, s.STB != 1},     {PORT1, s.PORT != 1}, {PORT2, s.PORT == 1},
    };
    for (const auto& [button, on] : ticks) {
        ShowChecked(button, on);
    }
}

}  // namespace vaxo::ui
