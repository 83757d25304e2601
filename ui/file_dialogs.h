#pragma once

#include <QString>
#include <QWidget>
#include <optional>

namespace vaxo::ui {

// The file choosers of the window; tests put a double in their place.
class FileDialogs {
  public:
    virtual ~FileDialogs() = default;
    // "VAXO files (*.rds)"; the file must exist.
    virtual std::optional<QString> OpenStation(QWidget* parent) = 0;
    // "VAXO files (*.rds)", proposing a name; asks before overwriting.
    virtual std::optional<QString> SaveStation(QWidget* parent, const QString& proposal) = 0;
    // "All files (*.*)"; the file must exist.
    virtual std::optional<QString> OpenAnyFile(QWidget* parent) = 0;
};

class QtFileDialogs : public FileDialogs {
  public:
    std::optional<QString> OpenStation(QWidget* parent) override;
    std::optional<QString> SaveStation(QWidget* parent, const QString& proposal) override;
    std::optional<QString> OpenAnyFile(QWidget* parent) override;
};

}  // namespace vaxo::ui
