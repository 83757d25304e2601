#include "ui/vek_language.h"

#include <QAbstractButton>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QTabWidget>

#include "base/code_page.h"
#include "base/file_io.h"
#include "formats/language_file.h"
#include "platform/program_dir.h"
#include "ui/text_boundary.h"
#include "ui/widget_factory.h"

namespace vaxo::ui {
namespace {

// A language file may be written in UTF-8 or in the Windows code page.
bool IsUtf8File(const std::string& bytes) {
    return IsAscii(bytes) || Utf8ToWindows1250(bytes);
}

QString TextOfFile(const std::string& part, bool utf8) {
    return utf8 ? QString::fromUtf8(part) : FromStationText(part);
}

QWidget* FindControl(QWidget& form, const QString& name) {
    for (QWidget* child : form.findChildren<QWidget*>()) {
        if (child->objectName().compare(name, Qt::CaseInsensitive) == 0) {
            return child;
        }
    }
    return nullptr;
}

// Pages of a tab widget carry their caption on the tab.
QTabWidget* TabsHolding(QWidget& page) {
    for (QWidget* parent = page.parentWidget(); parent; parent = parent->parentWidget()) {
        if (auto* tabs = qobject_cast<QTabWidget*>(parent); tabs && tabs->indexOf(&page) >= 0) {
            return tabs;
        }
    }
    return nullptr;
}

bool SetCaption(QWidget& control, const QString& value) {
    if (auto* button = qobject_cast<QAbstractButton*>(&control)) {
        button->setText(value);
    } else if (auto* label = qobject_cast<QLabel*>(&control)) {
        label->setText(value);
    } else if (auto* group = qobject_cast<QGroupBox*>(&control)) {
        group->setTitle(value);
    } else if (QTabWidget* tabs = TabsHolding(control)) {
        tabs->setTabText(tabs->indexOf(&control), value);
    } else {
        return false;
    }
    return true;
}

// Sets "Caption" or "Hint" (names without case); false when the control has
// no such text property.
bool SetTextProperty(QWidget& control, const QString& property, const QString& value) {
    QString shown = value;
    shown.replace("\r\n", "\n");  // widgets break lines at LF
    if (property.compare("Caption", Qt::CaseInsensitive) == 0) {
        return SetCaption(control, shown);
    }
    if (property.compare("Hint", Qt::CaseInsensitive) == 0) {
        control.setToolTip(shown);
        return true;
    }
    return false;
}

}  // namespace

void TvekLanguage::LoadDefaultLanguage(QWidget& form) {
    languageFileName_ = folder_.isEmpty() ? FromFileName(ResourcePath(kLanguageFileName))
                                          : folder_ + "/" + kLanguageFileName;
    if (QFile::exists(languageFileName_)) {
        ApplyLanguageFile(form, languageFileName_);
    }
}

void TvekLanguage::ApplyLanguageFile(QWidget& form, const QString& path) {
    std::optional<std::string> bytes;
    try {
        bytes = ReadFileIfExists(ToFileName(path));
    } catch (const FileError&) {
        return;  // an unreadable language file leaves the English texts
    }
    if (!bytes) {
        return;
    }
    const bool utf8 = IsUtf8File(*bytes);
    for (const std::string& line : ReadIniSection(*bytes, kTranslationsSection)) {
        const TranslationEntry entry = SplitTranslationEntry(line);
        if (TextOfFile(entry.form, utf8) != form.objectName()) {
            continue;
        }
        QWidget* control = FindControl(form, TextOfFile(entry.control, utf8));
        if (control && TagOf(control) > 0) {
            SetTextProperty(*control, TextOfFile(entry.property, utf8),
                            TextOfFile(entry.value, utf8));
        }
    }
}

}  // namespace vaxo::ui
