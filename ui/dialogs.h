#pragma once

#include <QString>
#include <QWidget>
#include <optional>
#include <string>

#include "app/control_program.h"

namespace vaxo::ui {

// The Save As proposal for a PS: letters A to Z lowered, everything else kept
// but a path separator, which becomes "-" (a PS of "24/7 FM" proposes "24-7 fm").
std::string SaveAsProposal(std::string ps);

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

}  // namespace vaxo::ui
