#pragma once

#include <QString>
#include <QWidget>

namespace vaxo::ui {

// Replaces the captions and tooltips of the window's translatable controls
// (Tag > 0) from the section "TRANSLATIONS" of the language file.
class TvekLanguage {
  public:
    // Looks for the file in `folder` instead of the program's folders.
    explicit TvekLanguage(QString folder = {}) : folder_(std::move(folder)) {}

    // "vaxow.lng" in the program's folder (then ../share/vaxow), if it exists.
    void LoadDefaultLanguage(QWidget& form);
    void ApplyLanguageFile(QWidget& form, const QString& path);

    const QString& LanguageFileName() const { return languageFileName_; }

  private:
    QString folder_;
    QString languageFileName_;
};

}  // namespace vaxo::ui
