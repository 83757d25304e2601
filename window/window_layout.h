#pragma once

#include <optional>
#include <string>
#include <vector>

#include "record/field_id.h"

namespace vaxo {

enum class ControlKind {
    Tabs,         // the page tabs
    Page,         // one page under the tabs
    Group,        // a framed group with a caption
    Panel,        // a sunken frame, or a plain area
    Label,        // a line of text
    Link,         // a label that opens the operator's manual
    Picture,      // the logo, the strip, the about picture
    TextBox,      // a one-line station text (Windows-1250)
    FileNameBox,  // a one-line file name
    TickBox,
    Choice,  // one of a group of round choices
    Button,
    PickList,  // a drop-down list of fixed items
    Slider,
    CheckList,  // a list of tick boxes (the decoder identification)
    Progress,
    Memo,      // read-only lines (the last-sent record, the checks)
    RichText,  // the help text
};

struct Place {
    int x = 0, y = 0, width = 0, height = 0;
};

// One control of the window as it is designed, at 96 dots per inch; its
// place is within its parent's. Both windows are built from this list, in
// its order (the order of the tab key within each page).
struct ControlDesign {
    std::string name;
    ControlKind kind;
    std::string parent;  // empty: the window itself
    std::string caption;
    Place place;
    int limit = 0;  // a text box's longest text; 0: none
    bool capitals = false;
    bool translatable = false;  // the language file may replace caption and hint
    bool bold = false;
    bool highlighted = false;  // light yellow behind dark text
    bool framed = false;       // a panel's sunken frame
    bool rightAligned = false;
    std::string hint = {};
    std::string accessibleName = {};
    std::vector<std::string> items = {};  // a pick list's or check list's
    int low = 0, high = 0;                // a slider's range
    // The field the control edits and shows; for a choice, the value of the
    // field it stands for (bank 1 or 2, PortChoice 0 or 1, radiotext 1 to 4).
    std::optional<FieldId> field = {};
    int choice = 0;
};

inline constexpr int kWindowWidth = 521;
inline constexpr int kWindowHeight = 303;

const std::vector<ControlDesign>& WindowLayout();
const ControlDesign* FindControl(const std::string& name);
// The control's place within its page (or the window, for the strip).
Place PlaceOnPage(const ControlDesign& control);
// The page a control lies on; empty for the strip below the pages.
std::string PageOf(const ControlDesign& control);

}  // namespace vaxo
