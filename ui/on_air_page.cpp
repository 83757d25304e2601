#include "ui/on_air_page.h"

#include <QButtonGroup>
#include <QFontDatabase>

#include "ui/widget_factory.h"

namespace vaxo::ui {
namespace {

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

void OnAirPage::Show(const OnAirTexts& texts) {
    ONAIRDPS->stop();
    ONAIRPS->setText(QString::fromStdString(texts.ps));
    ONAIRRT->setText(QString::fromStdString(texts.rt));
    ONAIRINFO->setText(QString::fromStdString(texts.info));
    ONAIRWARN->setPlainText(QString::fromStdString(texts.details));
    dynamicTexts_ = texts.dynamicTexts;
    dynamicText_ = 0;
    if (!dynamicTexts_.empty()) {
        ONAIRDPS->start(texts.stepSeconds * 1000);
    }
}

void OnAirPage::ShowNextDynamicText() {
    if (dynamicTexts_.empty()) {
        return;
    }
    dynamicText_ = (dynamicText_ + 1) % dynamicTexts_.size();
    ONAIRPS->setText(QString::fromStdString(dynamicTexts_[dynamicText_]));
}

}  // namespace vaxo::ui
