#pragma once

#include <QPixmap>

namespace vaxo::ui {

// The program's own pictures, drawn at start-up: no image files needed.
QPixmap BuiltInIcon();
QPixmap BuiltInStrip(QSize size);         // the bottom strip, SKIN
QPixmap BuiltInLogo(QSize size);          // page "General", LOGO
QPixmap BuiltInAboutPicture(QSize size);  // About group, Image3

}  // namespace vaxo::ui
