#include "ui/rtf_document.h"

#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>

#include "base/code_page.h"
#include "formats/rtf_parser.h"

namespace vaxo::ui {
namespace {

constexpr double kTwipsPerPixel = 15.0;

Qt::Alignment AlignmentOf(RtfAlignment alignment) {
    switch (alignment) {
        case RtfAlignment::Centre:
            return Qt::AlignHCenter;
        case RtfAlignment::Right:
            return Qt::AlignRight;
        case RtfAlignment::Justify:
            return Qt::AlignJustify;
        case RtfAlignment::Left:
            break;
    }
    return Qt::AlignLeft;
}

QTextCharFormat CharFormatOf(const RtfCharFormat& format, const RtfDocumentModel& model,
                             const std::unordered_map<int, const RtfFont*>& fonts) {
    QTextCharFormat chars;
    chars.setFontWeight(format.bold ? QFont::Bold : QFont::Normal);
    chars.setFontItalic(format.italic);
    chars.setFontUnderline(format.underline);
    chars.setFontPointSize(format.halfPoints / 2.0);
    if (const auto font = fonts.find(format.font);
        font != fonts.end() && !font->second->name.empty()) {
        chars.setFontFamilies({QString::fromStdString(font->second->name)});
        // The document finds its formats by a hash that leaves a list of
        // families out: without a number of its own, every font would share
        // one hash, and each insertion would compare against all of them.
        chars.setProperty(QTextFormat::UserProperty, format.font);
    }
    const auto colour = static_cast<std::size_t>(format.colour);
    if (colour < model.colours.size() && model.colours[colour]) {
        chars.setForeground(QColor::fromRgb(*model.colours[colour]));
    }
    return chars;
}

QString TextOf(const std::u32string& text) {
    QString converted = QString::fromStdString(ToUtf8(text));
    converted.replace('\n', QChar::LineSeparator);
    return converted;
}

}  // namespace

void LoadRtf(QTextDocument& document, std::string_view bytes) {
    const RtfDocumentModel model = ParseRtf(bytes);
    const auto fonts = FontsByNumber(model);
    document.clear();
    // One edit without undo: every insertion would otherwise be announced and
    // recorded on its own.
    const bool undo = document.isUndoRedoEnabled();
    document.setUndoRedoEnabled(false);
    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    bool first = true;
    for (const RtfParagraph& paragraph : model.paragraphs) {
        QTextBlockFormat block;
        block.setAlignment(AlignmentOf(paragraph.alignment));
        block.setLeftMargin(paragraph.leftIndentTwips / kTwipsPerPixel);
        block.setTopMargin(paragraph.spaceBeforeTwips / kTwipsPerPixel);
        block.setBottomMargin(paragraph.spaceAfterTwips / kTwipsPerPixel);
        if (first) {
            cursor.setBlockFormat(block);
            first = false;
        } else {
            cursor.insertBlock(block);
        }
        for (const RtfRun& run : paragraph.runs) {
            cursor.insertText(TextOf(run.text), CharFormatOf(run.format, model, fonts));
        }
    }
    cursor.endEditBlock();
    document.setUndoRedoEnabled(undo);
}

}  // namespace vaxo::ui
