#include "ui/vek_language.h"

#include <QAbstractButton>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QTabWidget>

#include "base/file_io.h"
#include "formats/language_file.h"
#include "platform/program_dir.h"
#include "ui/text_boundary.h"
#include "ui/widget_factory.h"
#include "window/window_language.h"

namespace vaxo::ui {
namespace {

// Pages of a tab widget carry their caption on the tab.
QTabWidget* TabsHolding(QWidget& page) {
    for (QWidget* parent = page.parentWidget(); parent; parent = parent->parentWidget()) {
        if (auto* tabs = qobject_cast<QTabWidget*>(parent); tabs && tabs->indexOf(&page) >= 0) {
            return tabs;
        }
    }
    return nullptr;
}

void SetCaption(QWidget& control, const QString& value) {
    if (auto* button = qobject_cast<QAbstractButton*>(&control)) {
        button->setText(value);
    } else if (auto* label = qobject_cast<QLabel*>(&control)) {
        label->setText(value);
    } else if (auto* group = qobject_cast<QGroupBox*>(&control)) {
        group->setTitle(value);
    } else if (QTabWidget* tabs = TabsHolding(control)) {
        tabs->setTabText(tabs->indexOf(&control), value);
    }
}

void SetTextProperty(QWidget& control, bool hint, const QString& value) {
    if (hint) {
        control.setToolTip(value);
    } else {
        SetCaption(control, value);
    }
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
    for (const Translation& translation : ReadTranslations(*bytes)) {
        QWidget* control =
            form.findChild<QWidget*>(QString::fromStdString(translation.control->name));
        if (control && TagOf(control) > 0) {
            SetTextProperty(*control, translation.hint, QString::fromStdString(translation.text));
        }
    }
}

}  // namespace vaxo::ui
