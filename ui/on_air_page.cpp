#include "ui/on_air_page.h"

#include <QButtonGroup>
#include <QFontDatabase>

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
    ONAIRDPS = new QTimer(this);
    ONAIRDPS->setObjectName("ONAIRDPS");
    connect(ONAIRDPS, &QTimer::timeout, this, [this] { ShowNextDynamicText(); });
}

void OnAirPage::Bind() {
    ONAIRB1 = findChild<QRadioButton*>("ONAIRB1");
    ONAIRB2 = findChild<QRadioButton*>("ONAIRB2");
    ONAIRNOW = findChild<QRadioButton*>("ONAIRNOW");
    ONAIRPS = findChild<QLabel*>("ONAIRPS");
    ONAIRRT = findChild<QLabel*>("ONAIRRT");
    ONAIRINFO = findChild<QLabel*>("ONAIRINFO");
    ONAIRWARN = findChild<QPlainTextEdit*>("ONAIRWARN");
    ONAIRB1->setChecked(true);
    auto* choices = new QButtonGroup(this);
    for (QRadioButton* choice : {ONAIRB1, ONAIRB2, ONAIRNOW}) {
        choices->addButton(choice);
    }
    AsDisplay(ONAIRPS, 22);
    AsDisplay(ONAIRRT, 11);
    for (QLabel* wrapped : {ONAIRRT, ONAIRINFO}) {
        wrapped->setWordWrap(true);
        wrapped->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
    ONAIRWARN->setReadOnly(true);
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
