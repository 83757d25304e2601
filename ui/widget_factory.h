#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRect>
#include <QSlider>
#include <QStringList>

namespace vaxo::ui {

// Small helpers that create a named control at a fixed place, the way the
// window is designed: a compact panel of exact positions.

// Controls with a Tag above 0 may have their Caption and Hint replaced by
// the language file.
void MarkTranslatable(QWidget* widget);
int TagOf(const QWidget* widget);

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, QRect place);
QGroupBox* MakeGroup(QWidget* parent, const char* name, const QString& caption, QRect place);
QWidget* MakePanel(QWidget* parent, const char* name, QRect place, bool framed);
// A one-line text box for station text: Windows-1250 only, at most maxLength
// characters (0: no limit), optionally capitals only.
QLineEdit* MakeTextBox(QWidget* parent, const char* name, QRect place, int maxLength,
                       bool capitals = false);
QLineEdit* MakeFileNameBox(QWidget* parent, const char* name, QRect place);
QCheckBox* MakeTickBox(QWidget* parent, const char* name, const QString& caption, QRect place);
QRadioButton* MakeChoice(QWidget* parent, const char* name, const QString& caption, QRect place);
QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, QRect place);
QComboBox* MakePickList(QWidget* parent, const char* name, const QStringList& items, QRect place);
// A slider over a number field's range, in steps of one.
QSlider* MakeSlider(QWidget* parent, const char* name, int low, int high, QRect place);

}  // namespace vaxo::ui
