#pragma once

#include <QString>
#include <QWidget>
#include <optional>
#include <string>

#include "app/control_program.h"
#include "window/window_dialogs.h"

namespace vaxo::ui {

// The "..." choosers show every file: a feed is often named without a dot.
inline constexpr const char* kAnyFileFilter = "All files (*)";

// The window's dialogs: file choosers and the error message box. Tests put a
// double in their place.
class Dialogs {
  public:
    virtual ~Dialogs() = default;
    // "VAXO files (*.rds)"; the file must exist.
    virtual std::optional<QString> OpenStation(QWidget* parent) = 0;
    // "VAXO files (*.rds)", proposing a name; asks before overwriting.
    virtual std::optional<QString> SaveStation(QWidget* parent, const QString& proposal) = 0;
    // kAnyFileFilter; the file must exist.
    virtual std::optional<QString> OpenAnyFile(QWidget* parent) = 0;
    virtual void ShowError(QWidget* parent, const QString& text) = 0;
    // Auto Save at the end, while another hand changed the station file on
    // disk: what to do with it.
    virtual ChangedStationChoice AskAboutChangedStation(QWidget* parent, const QString& file) = 0;
    // A later start handed over `handed` while `station` has unsaved changes.
    virtual UnsavedChoice AskAboutUnsavedHandOver(QWidget* parent, const QString& station,
                                                  const QString& handed) = 0;
};

// For programs that show the window without an operator: nothing is chosen,
// errors go to standard error.
class HeadlessDialogs : public Dialogs {
  public:
    std::optional<QString> OpenStation(QWidget*) override { return std::nullopt; }
    std::optional<QString> SaveStation(QWidget*, const QString&) override { return std::nullopt; }
    std::optional<QString> OpenAnyFile(QWidget*) override { return std::nullopt; }
    void ShowError(QWidget* parent, const QString& text) override;
    ChangedStationChoice AskAboutChangedStation(QWidget*, const QString&) override {
        return ChangedStationChoice::SaveBeside;
    }
    UnsavedChoice AskAboutUnsavedHandOver(QWidget*, const QString&, const QString&) override {
        return UnsavedChoice::Save;
    }
};

class QtDialogs : public Dialogs {
  public:
    std::optional<QString> OpenStation(QWidget* parent) override;
    std::optional<QString> SaveStation(QWidget* parent, const QString& proposal) override;
    std::optional<QString> OpenAnyFile(QWidget* parent) override;
    void ShowError(QWidget* parent, const QString& text) override;
    ChangedStationChoice AskAboutChangedStation(QWidget* parent, const QString& file) override;
    UnsavedChoice AskAboutUnsavedHandOver(QWidget* parent, const QString& station,
                                          const QString& handed) override;
};

// The dialogs as the window model asks for them: over the window, file names
// and texts converted at the toolkit's boundary.
class ParentedDialogs : public WindowDialogs {
  public:
    ParentedDialogs(Dialogs& dialogs, QWidget* parent) : dialogs_(dialogs), parent_(parent) {}

    std::optional<std::string> OpenStation() override;
    std::optional<std::string> SaveStation(const std::string& proposal) override;
    std::optional<std::string> OpenAnyFile() override;
    void ShowError(const std::string& text) override;
    ChangedStationChoice AskAboutChangedStation(const std::string& file) override;
    UnsavedChoice AskAboutUnsavedHandOver(const std::string& station,
                                          const std::string& handed) override;

  private:
    Dialogs& dialogs_;
    QWidget* parent_;
};

}  // namespace vaxo::ui
