#pragma once

#include <QTextDocument>
#include <string_view>

namespace vaxo::ui {

// Fills the document with the formatted text of RTF bytes.
void LoadRtf(QTextDocument& document, std::string_view bytes);

}  // namespace vaxo::ui
