#include "ui/widget_factory.h"

#include <QFrame>
#include <QVariant>

#include "ui/text_boundary.h"

namespace vaxo::ui {
namespace {

template <typename Widget>
Widget* Placed(Widget* widget, const char* name, QRect place) {
    widget->setObjectName(name);
    widget->setGeometry(place);
    return widget;
}

}  // namespace

void MarkTranslatable(QWidget* widget) {
    widget->setProperty("Tag", 1);
}

int TagOf(const QWidget* widget) {
    return widget->property("Tag").toInt();
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, QRect place) {
    return Placed(new QLabel(text, parent), name, place);
}

QGroupBox* MakeGroup(QWidget* parent, const char* name, const QString& caption, QRect place) {
    return Placed(new QGroupBox(caption, parent), name, place);
}

QWidget* MakePanel(QWidget* parent, const char* name, QRect place, bool framed) {
    auto* panel = new QFrame(parent);
    if (framed) {
        panel->setFrameShape(QFrame::StyledPanel);
        panel->setFrameShadow(QFrame::Sunken);
    }
    return Placed(panel, name, place);
}

QLineEdit* MakeTextBox(QWidget* parent, const char* name, QRect place, int maxLength,
                       bool capitals) {
    auto* box = Placed(new QLineEdit(parent), name, place);
    if (maxLength > 0) {
        box->setMaxLength(maxLength);
    }
    box->setValidator(new StationTextValidator(capitals, box));
    return box;
}

QLineEdit* MakeFileNameBox(QWidget* parent, const char* name, QRect place) {
    return Placed(new QLineEdit(parent), name, place);
}

QCheckBox* MakeTickBox(QWidget* parent, const char* name, const QString& caption, QRect place) {
    return Placed(new QCheckBox(caption, parent), name, place);
}

QRadioButton* MakeChoice(QWidget* parent, const char* name, const QString& caption, QRect place) {
    return Placed(new QRadioButton(caption, parent), name, place);
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, QRect place) {
    return Placed(new QPushButton(caption, parent), name, place);
}

QComboBox* MakePickList(QWidget* parent, const char* name, const QStringList& items, QRect place) {
    auto* list = Placed(new QComboBox(parent), name, place);
    list->addItems(items);
    list->setEditable(false);
    return list;
}

QSlider* MakeSlider(QWidget* parent, const char* name, int low, int high, QRect place) {
    auto* slider = Placed(new QSlider(Qt::Horizontal, parent), name, place);
    slider->setRange(low, high);
    slider->setTickPosition(QSlider::TicksBelow);
    slider->setTickInterval(1);
    slider->setPageStep(1);
    return slider;
}

}  // namespace vaxo::ui
