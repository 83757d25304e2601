#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/control_program.h"

namespace vaxo {

// The window's dialogs, whatever toolkit draws them. File names are the
// file system's bytes; texts are UTF-8.
class WindowDialogs {
  public:
    virtual ~WindowDialogs() = default;
    // "VAXO files (*.rds)"; the file must exist.
    virtual std::optional<std::string> OpenStation() = 0;
    // "VAXO files (*.rds)", proposing a name (Windows-1250); asks before
    // overwriting.
    virtual std::optional<std::string> SaveStation(const std::string& proposal) = 0;
    // Every file: a feed is often named without a dot. The file must exist.
    virtual std::optional<std::string> OpenAnyFile() = 0;
    virtual void ShowError(const std::string& text) = 0;
    // Auto Save at the end, while another hand changed the station file on
    // disk: what to do with it.
    virtual ChangedStationChoice AskAboutChangedStation(const std::string& file) = 0;
    // A later start handed over `handed` while `station` has unsaved changes.
    virtual UnsavedChoice AskAboutUnsavedHandOver(const std::string& station,
                                                  const std::string& handed) = 0;
};

// A question with its answers, the first the default; texts in UTF-8.
struct Question {
    std::string text;
    std::vector<std::string> answers;
};

// Auto Save at the end finds the station file changed by another hand; the
// answers in the order of ChangedStationChoice. `file` as the window shows it.
Question ChangedStationQuestion(const std::string& file);
// A later start hands over a file while the station has unsaved changes;
// the answers in the order of UnsavedChoice.
Question UnsavedHandOverQuestion(const std::string& station, const std::string& handed);

// The Save As proposal for a PS: letters A to Z lowered, everything else kept
// but a path separator, which becomes "-" (a PS of "24/7 FM" proposes "24-7 fm").
std::string SaveAsProposal(std::string ps);

}  // namespace vaxo
