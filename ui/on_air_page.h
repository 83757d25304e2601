#pragma once

#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTimer>
#include <QWidget>
#include <string>
#include <vector>

#include "window/on_air_texts.h"

namespace vaxo::ui {

// The page "On air": what a listener's receiver gets, decoded from the bytes
// the last successful send wrote into bank 1 or 2 (or that a send would
// write now), never from the fields: the PS as a display shows it (dynamic
// texts in turn, at their step), the radiotext with its A/B flag, programme
// type, traffic flags, AF list, and the checks a broadcast engineer makes.
class OnAirPage : public QWidget {
  public:
    using Source = OnAirSource;

    explicit OnAirPage(QWidget* parent = nullptr);
    // Takes the page's controls, made by the window from its list of
    // controls, and gives them their look.
    void Bind();

    Source Shown() const;
    void Show(const OnAirTexts& texts);

    QRadioButton *ONAIRB1, *ONAIRB2, *ONAIRNOW;
    QLabel *ONAIRPS, *ONAIRRT, *ONAIRINFO;
    QPlainTextEdit* ONAIRWARN;
    QTimer* ONAIRDPS;

  private:
    void ShowNextDynamicText();

    std::vector<std::string> dynamicTexts_;
    std::size_t dynamicText_ = 0;
};

}  // namespace vaxo::ui
