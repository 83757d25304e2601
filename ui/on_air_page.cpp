#include "ui/on_air_page.h"

#include <QButtonGroup>
#include <QFontDatabase>

#include "encoding/receiver_checks.h"
#include "ui/widget_factory.h"

namespace vaxo::ui {
namespace {

QString Text(const ReceivedText& text) {
    return QString::fromStdString(text.Shown());
}

QString Flag(const std::optional<bool>& on) {
    return on ? (*on ? "1" : "0") : "?";
}

QString DecoderIdWords(const ReceiverView& view) {
    static const char* names[] = {"stereo", "artificial head", "compressed", "dynamic PTY"};
    QStringList words;
    for (std::size_t d = 0; d < 4; ++d) {
        if (view.di[d].value_or(false)) {
            words << names[d];
        }
    }
    return words.isEmpty() ? "mono" : words.join(", ");
}

QString Frequencies(const ReceiverView& view) {
    QStringList list;
    for (const int code : view.afCodes) {
        if (code >= 1 && code <= 204) {
            list << QString::number(AfTenthsOfMhz(code) / 10.0, 'f', 1);
        }
    }
    return list.isEmpty() ? "none" : list.join(" ") + " MHz";
}

// A receiver's display: light text on a dark face, in a fixed-pitch font.
void AsDisplay(QLabel* label, int pixels) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(pixels);
    font.setBold(pixels > 14);
    label->setFont(font);
    label->setAutoFillBackground(true);
    QPalette colours = label->palette();
    colours.setColor(QPalette::Window, QColor(20, 28, 24));
    colours.setColor(QPalette::WindowText, QColor(140, 255, 170));
    label->setPalette(colours);
    label->setMargin(4);
}

}  // namespace

OnAirPage::OnAirPage(QWidget* parent) : QWidget(parent) {
    ONAIRB1 = MakeChoice(this, "ONAIRB1", "Bank 1", QRect(8, 6, 70, 18));
    ONAIRB2 = MakeChoice(this, "ONAIRB2", "Bank 2", QRect(80, 6, 70, 18));
    ONAIRNOW =
        MakeChoice(this, "ONAIRNOW", "Not sent yet: what Send would write", QRect(152, 6, 300, 18));
    ONAIRB1->setChecked(true);
    auto* choices = new QButtonGroup(this);
    for (QRadioButton* choice : {ONAIRB1, ONAIRB2, ONAIRNOW}) {
        choices->addButton(choice);
    }
    ONAIRPS = MakeLabel(this, "ONAIRPS", QString(), QRect(8, 28, 160, 34));
    AsDisplay(ONAIRPS, 22);
    ONAIRPS->setAccessibleName("Programme service name on air");
    ONAIRRT = MakeLabel(this, "ONAIRRT", QString(), QRect(8, 64, 497, 36));
    AsDisplay(ONAIRRT, 11);
    ONAIRRT->setWordWrap(true);
    ONAIRRT->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ONAIRRT->setAccessibleName("Radiotext on air");
    ONAIRINFO = MakeLabel(this, "ONAIRINFO", QString(), QRect(172, 28, 333, 34));
    ONAIRINFO->setWordWrap(true);
    ONAIRINFO->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ONAIRWARN = new QPlainTextEdit(this);
    ONAIRWARN->setObjectName("ONAIRWARN");
    ONAIRWARN->setGeometry(8, 104, 497, 128);
    ONAIRWARN->setReadOnly(true);
    ONAIRWARN->setAccessibleName("What a receiver gets, and the checks");
    ONAIRDPS = new QTimer(this);
    ONAIRDPS->setObjectName("ONAIRDPS");
    connect(ONAIRDPS, &QTimer::timeout, this, [this] { ShowNextDynamicText(); });
}

OnAirPage::Source OnAirPage::Shown() const {
    if (ONAIRB2->isChecked()) {
        return Source::Bank2;
    }
    return ONAIRNOW->isChecked() ? Source::Preview : Source::Bank1;
}

void OnAirPage::Show(const std::optional<MemoryDump>& memory) {
    ONAIRDPS->stop();
    if (!memory) {
        view_.reset();
        ONAIRPS->clear();
        ONAIRRT->setText("Nothing sent to this bank since the program started.");
        ONAIRINFO->clear();
        ONAIRWARN->clear();
        return;
    }
    view_ = DecodeEncoderMemory(memory->area1, memory->area2);
    const ReceiverView& view = *view_;
    ONAIRPS->setText(Text(view.ps));
    ONAIRRT->setText(view.rt ? QString(view.ab.value_or(0) ? "[B] " : "[A] ") + Text(*view.rt)
                             : QString("(no radiotext)"));
    const QString pty = view.pty
                            ? QString("PTY %1 %2 (RBDS %3)")
                                  .arg(*view.pty)
                                  .arg(QString::fromStdString(RdsProgrammeTypeName(*view.pty)))
                                  .arg(QString::fromStdString(RbdsProgrammeTypeName(*view.pty)))
                            : QString("PTY ?");
    ONAIRINFO->setText(QString("%1\nTP %2  TA %3  %4  %5")
                           .arg(pty, Flag(view.tp), Flag(view.ta),
                                view.music ? (*view.music ? "music" : "speech") : "?",
                                DecoderIdWords(view)));
    QStringList lines;
    lines << "AF " + Frequencies(view);
    lines << QString("PI %1   both banks in loop: %2   %3 blocks, %4 bad")
                 .arg(view.pi ? QString("%1").arg(*view.pi, 4, 16, QChar('0')).toUpper() : "?")
                 .arg(view.bothBanks ? "yes" : "no")
                 .arg(view.totalBlocks)
                 .arg(view.badBlocks.size());
    if (view.dps) {
        QStringList texts;
        for (const ReceivedText& text : view.dps->texts) {
            texts << "[" + Text(text) + "]";
        }
        lines << QString("Dynamic PS, each text %1 s: %2")
                     .arg(view.dps->stepSeconds)
                     .arg(texts.join(" "));
        dynamicText_ = 0;
        ONAIRPS->setText(Text(view.dps->texts[0]));  // the encoder plays the table's texts
        ONAIRDPS->start(view.dps->stepSeconds * 1000);
    }
    const auto warnings = ReceiverWarnings(view);
    lines << (warnings.empty() ? QString("No warnings.") : QString("Warnings:"));
    for (const std::string& warning : warnings) {
        lines << "  - " + QString::fromStdString(warning);
    }
    ONAIRWARN->setPlainText(lines.join('\n'));
}

void OnAirPage::ShowNextDynamicText() {
    if (!view_ || !view_->dps) {
        return;
    }
    dynamicText_ = (dynamicText_ + 1) % view_->dps->texts.size();
    ONAIRPS->setText(Text(view_->dps->texts[dynamicText_]));
}

}  // namespace vaxo::ui
