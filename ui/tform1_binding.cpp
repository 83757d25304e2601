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

CommandOutcome TForm1::Do(CommandAction action) {
    return program_.Execute({{Origin::Kind::Window}, std::move(action)});
}

void TForm1::Set(FieldId field, FieldValue value) {
    static_cast<void>(Do(SetFields{{{field, std::move(value)}}}));
}

void TForm1::ConnectControls() {
    ConnectTexts();
    ConnectChoices();
    connect(UP, &QPushButton::clicked, this,
            [this] { static_cast<void>(Do(SendStation{SendWhen::Operator})); });
    connect(EX, &QPushButton::clicked, this, [this] {
        exitAsked_ = true;
        static_cast<void>(Do(EndProgram{}));
    });
    connect(LOAD, &QPushButton::clicked, this, [this] { LoadChosenStation(); });
    connect(SAVE, &QPushButton::clicked, this, [this] { static_cast<void>(Do(SaveStation{})); });
    connect(SAAS, &QPushButton::clicked, this, [this] { SaveStationAs(); });
    const std::pair<const char*, QPushButton*> shortcuts[] = {
        {"Ctrl+O", LOAD}, {"Ctrl+S", SAVE}, {"Ctrl+Shift+S", SAAS}, {"Ctrl+Q", EX}};
    for (const auto& [key, button] : shortcuts) {
        connect(new QShortcut(QKeySequence(key), this), &QShortcut::activated, button,
                &QPushButton::click);
    }
    connect(DPBR, &QPushButton::clicked, this, [this] { ChooseFeedFile(FieldId::DPSSF); });
    connect(RTBR, &QPushButton::clicked, this, [this] { ChooseFeedFile(FieldId::RTSF); });
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

// Each box edits its station field through the program's door, as it is
// typed. PI and the alternative frequencies are taken when they are whole
// (four digits; a frequency when the box is left, as the list closes up):
// until then the box holds the operator's draft, and what is left
// unfinished goes on air as the send's check makes it (FFFF, no frequency).
void TForm1::ConnectTexts() {
    auto station = [this](QLineEdit* box, FieldId field) {
        connect(box, &QLineEdit::textEdited, this,
                [this, field](const QString& text) { Set(field, ToStationText(text)); });
    };
    station(PS, FieldId::PS);
    for (std::size_t k = 0; k < DPS.size(); ++k) {
        station(DPS[k], DpsField(k));
    }
    for (std::size_t i = 0; i < RTs.size(); ++i) {
        station(RTs[i], RadiotextField(static_cast<int>(i) + 1));
    }
    station(EFCHAR, FieldId::EFCHAR);
    connect(EFCHAR, &QLineEdit::editingFinished, this, [this] {
        if (program_.Set().EFCHAR.empty()) {
            Set(FieldId::EFCHAR, std::string("*"));
        }
    });
    connect(PI, &QLineEdit::textEdited, this, [this](const QString& text) {
        const StrictReading whole =
            ReadStrict(Field(FieldId::PI), ToStationText(text), program_.DecimalSeparator());
        if (whole.value) {
            Set(FieldId::PI, *whole.value);
        }
    });
    connect(PI, &QLineEdit::editingFinished, this, [this] { CommitDraft(PI, FieldId::PI); });
    for (std::size_t i = 0; i < AF.size(); ++i) {
        connect(AF[i], &QLineEdit::editingFinished, this,
                [this, i] { CommitDraft(AF[i], AfField(i)); });
    }
    auto fileName = [this](QLineEdit* box, FieldId field) {
        connect(box, &QLineEdit::textEdited, this,
                [this, field](const QString& text) { Set(field, ToFileName(text)); });
    };
    fileName(RTFILE, FieldId::RTSF);
    fileName(PSFILE, FieldId::DPSSF);
}

// A draft the operator leaves goes on air as the send's check makes it:
// a PI that is no four digits as FFFF, a frequency that is none not at all.
void TForm1::CommitDraft(QLineEdit* box, FieldId field) {
    const StationField& schema = Field(field);
    const auto held = [&] { return FormatFieldValue(schema.type, schema.get(program_.Set())); };
    const std::string text = ToStationText(box->text());
    if (held() != text) {
        StrictReading whole = ReadStrict(schema, text, program_.DecimalSeparator());
        if (whole.value) {
            Set(field, std::move(*whole.value));
        } else {
            Set(field, schema.type.kind == FieldKind::Frequency ? FieldValue(std::string())
                                                                : ReadLenient(schema.type, text));
        }
    }
    ShowText(box, FromStationText(held()));
}

void TForm1::ConnectChoices() {
    auto pick = [this](QComboBox* list, FieldId field) {
        connect(list, &QComboBox::activated, this, [this, field](int index) {
            Set(field, Field(field).type.kind == FieldKind::Flag ? FieldValue(index == 1)
                                                                 : FieldValue(index));
        });
    };
    pick(PTY, FieldId::PTY);
    pick(MS, FieldId::MS);
    pick(TP, FieldId::TP);
    pick(TA, FieldId::TA);
    connect(DI, &QListWidget::itemChanged, this, [this](QListWidgetItem*) {
        if (refreshing_) {
            return;
        }
        DecoderId di{};
        for (int row = 0; row < DI->count(); ++row) {
            di[static_cast<std::size_t>(row)] = DI->item(row)->checkState() == Qt::Checked;
        }
        Set(FieldId::DI, di);
    });
    auto tick = [this](QCheckBox* box, FieldId field) {
        connect(box, &QCheckBox::clicked, this, [this, field](bool on) { Set(field, on); });
    };
    using F = FieldId;
    const std::pair<QCheckBox*, FieldId> ticks[] = {
        {ENDPS, F::DPSE},        {PSFF, F::DPSFF},  {RTFF, F::RTFF},       {RTSA, F::RTSA},
        {UPCHPS, F::DPSSC},      {DPSA, F::DPSSA},  {DPSC, F::DPSEF},      {ABSW, F::RTUSAB},
        {UPCH, F::RTSC},         {AUTBSW, F::MBS},  {EXAL, F::EXIT},       {SEND, F::SEND},
        {AUTOSAVE, F::AUTOSAVE}, {HIPRI, F::HIPRI}, {ALONTOP, F::ALONTOP}, {WRITEALL, F::WRITEALL},
    };
    for (const auto& [box, field] : ticks) {
        tick(box, field);
    }
    auto slider = [this](QSlider* bar, FieldId field) {
        connect(bar, &QSlider::valueChanged, this, [this, field](int value) {
            if (!refreshing_) {
                Set(field, value);
            }
        });
    };
    slider(TrackBar1, FieldId::DPSP);
    slider(TrackBar2, FieldId::RTSAT);
    for (std::size_t i = 0; i < SRT.size(); ++i) {
        connect(SRT[i], &QRadioButton::clicked, this,
                [this, i] { Set(FieldId::SELRT, static_cast<int>(i) + 1); });
    }
    connect(STB1, &QRadioButton::clicked, this, [this] { Set(FieldId::STB, Bank::One); });
    connect(STB2, &QRadioButton::clicked, this, [this] { Set(FieldId::STB, Bank::Two); });
    connect(SHOWB1, &QRadioButton::clicked, this, [this] { ShowLastSent(1); });
    connect(SHOWB2, &QRadioButton::clicked, this, [this] { ShowLastSent(2); });
    connect(PORT1, &QRadioButton::clicked, this, [this] { Set(FieldId::PORT, PortChoice::Lpt1); });
    connect(PORT2, &QRadioButton::clicked, this, [this] { Set(FieldId::PORT, PortChoice::Lpt2); });
}

void TForm1::RefreshFromSet() {
    const QScopedValueRollback<bool> guard(refreshing_, true);
    const RdsParameterSet& s = program_.Set();
    // A PI or frequency box the operator is in keeps the draft.
    const auto showDraftable = [](QLineEdit* box, const QString& text) {
        if (!box->hasFocus()) {
            ShowText(box, text);
        }
    };
    ShowText(PS, FromStationText(s.PS));
    showDraftable(PI, FromStationText(s.PI));
    PTY->setCurrentIndex(s.PTY);
    MS->setCurrentIndex(s.MS);
    TP->setCurrentIndex(s.TP);
    TA->setCurrentIndex(s.TA);
    for (int row = 0; row < DI->count(); ++row) {
        DI->item(row)->setCheckState(s.DI[static_cast<std::size_t>(row)] ? Qt::Checked
                                                                         : Qt::Unchecked);
    }
    for (std::size_t i = 0; i < AF.size(); ++i) {
        showDraftable(AF[i], FromStationText(s.AF[i]));
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
        {ENDPS, s.ENDPS},       {PSFF, s.PSFF},     {UPCHPS, s.UPCHPS},   {DPSA, s.DPSA},
        {DPSC, s.DPSC},         {RTSA, s.RTSA},     {ABSW, s.ABSW},       {RTFF, s.RTFF},
        {UPCH, s.UPCH},         {AUTBSW, s.AUTBSW}, {SEND, s.SEND},       {EXAL, s.EXAL},
        {AUTOSAVE, s.AUTOSAVE}, {HIPRI, s.HIPRI},   {ALONTOP, s.ALONTOP}, {WRITEALL, s.WRITEALL},
        {STB1, s.STB == 1},     {STB2, s.STB != 1}, {PORT1, s.PORT != 1}, {PORT2, s.PORT == 1},
    };
    for (const auto& [button, on] : ticks) {
        ShowChecked(button, on);
    }
}

}  // namespace vaxo::ui
