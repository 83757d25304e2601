#pragma once

#include <QProxyStyle>

namespace vaxo::ui {

// The page tabs light up under the mouse, in any style.
class HoverTabStyle : public QProxyStyle {
  public:
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
};

}  // namespace vaxo::ui
