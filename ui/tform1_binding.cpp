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
    connect(UP, &QPushButton::clicked, this, [this] { program_.SendFromOperator(); });
    connect(EX, &QPushButton::clicked, this, [this] {
        exitAsked_ = true;
        program_.RequestExit();
    });
    connect(LOAD, &QPushButton::clicked, this, [this] { LoadChosenStation(); });
    connect(SAVE, &QPushButton::clicked, this, [this] { program_.SaveStation(); });
    connect(SAAS, &QPushButton::clicked, this, [this] { SaveStationAs(); });
    const std::pair<const char*, QPushButton*> shortcuts[] = {
        {"Ctrl+O", LOAD}, {"Ctrl+S", SAVE}, {"Ctrl+Shift+S", SAAS}, {"Ctrl+Q", EX}};
    for (const auto& [key, button] : shortcuts) {
        connect(new QShortcut(QKeySequence(key), this), &QShortcut::activated, button,
                &QPushButton::click);
    }
    connect(DPBR, &QPushButton::clicked, this, [this] { ChooseFeedFile("DPSSF"); });
    connect(RTBR, &QPushButton::clicked, this, [this] { ChooseFeedFile("RTSF"); });
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

// Each box edits the station field of its key, through the program's door.
void TForm1::ConnectTexts() {
    auto station = [this](QLineEdit* box, const std::string& key) {
        connect(box, &QLineEdit::textEdited, this, [this, key](const QString& text) {
            program_.ApplyField(key, ToStationText(text));
        });
    };
    station(PS, "PS");
    station(PI, "PI");
    for (std::size_t i = 0; i < AF.size(); ++i) {
        station(AF[i], "AF" + std::to_string(i + 1));
    }
    for (std::size_t k = 0; k < DPS.size(); ++k) {
        station(DPS[k], "DPS" + std::to_string(k + 1));
    }
    const char* radiotexts[] = {"RT", "RT2", "RT3", "RT4"};
    for (std::size_t i = 0; i < RTs.size(); ++i) {
        station(RTs[i], radiotexts[i]);
    }
    station(EFCHAR, "EFCHAR");
    connect(EFCHAR, &QLineEdit::editingFinished, this,
            [this] { program_.RestoreEffectCharacter(); });
    auto fileName = [this](QLineEdit* box, const std::string& key) {
        connect(box, &QLineEdit::textEdited, this,
                [this, key](const QString& text) { program_.ApplyField(key, ToFileName(text)); });
    };
    fileName(RTFILE, "RTSF");
    fileName(PSFILE, "DPSSF");
}

void TForm1::ConnectChoices() {
    auto pick = [this](QComboBox* list, const std::string& key) {
        connect(list, &QComboBox::activated, this,
                [this, key](int index) { program_.ApplyField(key, std::to_string(index)); });
    };
    pick(PTY, "PTY");
    pick(MS, "MS");
    pick(TP, "TP");
    pick(TA, "TA");
    connect(DI, &QListWidget::itemChanged, this, [this](QListWidgetItem*) {
        if (refreshing_) {
            return;
        }
        DecoderId di{};
        for (int row = 0; row < DI->count(); ++row) {
            di[static_cast<std::size_t>(row)] = DI->item(row)->checkState() == Qt::Checked;
        }
        program_.ApplyField("DI", DecoderIdText(di));
    });
    auto tick = [this](QCheckBox* box, const std::string& key) {
        connect(box, &QCheckBox::clicked, this,
                [this, key](bool on) { program_.ApplyField(key, on ? "1" : "0"); });
    };
    tick(ENDPS, "DPSE");
    tick(PSFF, "DPSFF");
    tick(RTFF, "RTFF");
    tick(RTSA, "RTSA");
    tick(UPCHPS, "DPSSC");
    tick(DPSA, "DPSSA");
    tick(DPSC, "DPSEF");
    tick(ABSW, "RTUSAB");
    tick(UPCH, "RTSC");
    tick(AUTBSW, "MBS");
    tick(EXAL, "EXIT");
    connect(SEND, &QCheckBox::clicked, this, [this](bool on) { program_.SetSendAfterLoad(on); });
    connect(AUTOSAVE, &QCheckBox::clicked, this, [this](bool on) { program_.SetAutoSave(on); });
    connect(HIPRI, &QCheckBox::clicked, this, [this](bool on) { program_.SetHighPriority(on); });
    connect(ALONTOP, &QCheckBox::clicked, this, [this](bool on) { program_.SetAlwaysOnTop(on); });
    auto slider = [this](QSlider* bar, const std::string& key) {
        connect(bar, &QSlider::valueChanged, this, [this, key](int value) {
            if (!refreshing_) {
                program_.ApplyField(key, std::to_string(value));
            }
        });
    };
    slider(TrackBar1, "DPSP");
    slider(TrackBar2, "RTSAT");
    for (std::size_t i = 0; i < SRT.size(); ++i) {
        connect(SRT[i], &QRadioButton::clicked, this,
                [this, i] { program_.ApplyField("SELRT", std::to_string(i + 1)); });
    }
    connect(STB1, &QRadioButton::clicked, this, [this] { program_.ApplyField("STB", "1"); });
    connect(STB2, &QRadioButton::clicked, this, [this] { program_.ApplyField("STB", "0"); });
    connect(SHOWB1, &QRadioButton::clicked, this, [this] { ShowLastSent(1); });
    connect(SHOWB2, &QRadioButton::clicked, this, [this] { ShowLastSent(2); });
    connect(PORT1, &QRadioButton::clicked, this, [this] { program_.ChoosePort(0); });
    connect(PORT2, &QRadioButton::clicked, this, [this] { program_.ChoosePort(1); });
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
