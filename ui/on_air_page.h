#pragma once

#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTimer>
#include <QWidget>
#include <optional>

#include "encoding/memory_dump.h"
#include "encoding/receiver_view.h"

namespace vaxo::ui {

// The page "On air": what a listener's receiver gets, decoded from the bytes
// the last successful send wrote into bank 1 or 2 (or that a send would
// write now), never from the fields: the PS as a display shows it (dynamic
// texts in turn, at their step), the radiotext with its A/B flag, programme
// type, traffic flags, AF list, and the checks a broadcast engineer makes.
class OnAirPage : public QWidget {
  public:
    enum class Source { Bank1, Bank2, Preview };

    explicit OnAirPage(QWidget* parent = nullptr);

    Source Shown() const;
    // Shows a memory, or says that nothing was sent to the bank yet.
    void Show(const std::optional<MemoryDump>& memory);

    QRadioButton *ONAIRB1, *ONAIRB2, *ONAIRNOW;
    QLabel *ONAIRPS, *ONAIRRT, *ONAIRINFO;
    QPlainTextEdit* ONAIRWARN;
    QTimer* ONAIRDPS;

  private:
    void ShowNextDynamicText();

    std::optional<ReceiverView> view_;
    std::size_t dynamicText_ = 0;
};

}  // namespace vaxo::ui
