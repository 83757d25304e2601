#include "ui/hover_tab_style.h"

#include <QPainter>
#include <QStyleOptionTab>

namespace vaxo::ui {

void HoverTabStyle::drawControl(ControlElement element, const QStyleOption* option,
                                QPainter* painter, const QWidget* widget) const {
    QProxyStyle::drawControl(element, option, painter, widget);
    if (element != CE_TabBarTabShape || !(option->state & State_MouseOver) ||
        (option->state & State_Selected)) {
        return;
    }
    QColor light = option->palette.color(QPalette::Highlight);
    light.setAlpha(60);
    painter->fillRect(option->rect.adjusted(2, 2, -2, 0), light);
}

}  // namespace vaxo::ui
