#include "window/window_layout.h"

#include <algorithm>
#include <array>
#include <tuple>
#include <utility>

#include "base/product.h"
#include "record/field_schema.h"
#include "record/programme_types.h"

namespace vaxo {
namespace {

using K = ControlKind;

int Limit(FieldId field) {
    return static_cast<int>(Field(field).type.limit);
}

ControlDesign Bound(ControlDesign control, FieldId field, int choice = 0) {
    control.field = field;
    control.choice = choice;
    return control;
}

template <std::size_t N>
std::vector<std::string> Names(const std::array<std::string_view, N>& names) {
    return {names.begin(), names.end()};
}

ControlDesign Slider(std::string name, std::string parent, Place place, FieldId field,
                     std::string accessibleName) {
    const FieldType& range = Field(field).type;
    return {.name = std::move(name),
            .kind = K::Slider,
            .parent = std::move(parent),
            .caption = {},
            .place = place,
            .accessibleName = std::move(accessibleName),
            .low = range.low,
            .high = range.high,
            .field = field};
}

void AddStrip(std::vector<ControlDesign>& c) {
    const int top = 265;
    c.push_back({"Zalozky", K::Tabs, "", "", {0, 0, kWindowWidth, top}});
    c.push_back({"SKIN", K::Picture, "", "", {0, top, kWindowWidth, 38}});
    c.push_back({"UP", K::Button, "", "Sen&d", {320, top + 6, 70, 26}, 0, false, true, true});
    c.push_back({"EX", K::Button, "", "E&xit", {6, top + 6, 66, 26}, 0, false, true});
    c.push_back({"LOAD", K::Button, "", "&Load", {74, top + 6, 62, 26}, 0, false, true});
    c.push_back({"SAVE", K::Button, "", "&Save", {138, top + 6, 72, 26}, 0, false, true});
    c.push_back({"SAAS", K::Button, "", "Save &As", {212, top + 6, 104, 26}, 0, false, true});
    c.push_back({"ProgressBar1", K::Progress, "", "", {396, top + 10, 118, 18}});
    c.push_back({"Label11", K::Label, "", "Error", {396, top + 10, 118, 18}, 0, false, true});
    for (const auto& [name, caption] : {std::pair{"General", "General"},
                                        {"DynamicPS", "Dynamic PS"},
                                        {"Radiotext", "Radiotext"},
                                        {"Settings", "Settings"},
                                        {"Help", "Help"},
                                        {"OnAir", "On air"}}) {
        c.push_back({name, K::Page, "Zalozky", caption, {}, 0, false, true});
    }
}

void AddGeneralPage(std::vector<ControlDesign>& c) {
    c.push_back({"Band", K::Panel, "General", "", {0, 0, 515, 86}});
    c.push_back({"GNID", K::Group, "Band", "Identification", {6, 3, 220, 78}, 0, false, true});
    c.push_back({"Label2", K::Label, "GNID", "Default PS", {10, 20, 100, 16}, 0, false, true});
    c.push_back({.name = "PS",
                 .kind = K::TextBox,
                 .parent = "GNID",
                 .caption = {},
                 .place = {10, 38, 104, 24},
                 .limit = Limit(FieldId::PS),
                 .highlighted = true,
                 .accessibleName = "Default PS",
                 .field = FieldId::PS});
    c.push_back({.name = "Label7",
                 .kind = K::Label,
                 .parent = "GNID",
                 .caption = "PI",
                 .place = {126, 20, 60, 16},
                 .translatable = true,
                 .hint = "Program Identification"});
    c.push_back({.name = "PI",
                 .kind = K::TextBox,
                 .parent = "GNID",
                 .caption = {},
                 .place = {126, 38, 62, 24},
                 .limit = Limit(FieldId::PI),
                 .capitals = true,
                 .accessibleName = "PI",
                 .field = FieldId::PI});
    c.push_back({.name = "Panel3",
                 .kind = K::Panel,
                 .parent = "Band",
                 .caption = {},
                 .place = {230, 8, 279, 71},
                 .framed = true});
    c.push_back({"LOGO", K::Picture, "Panel3", "", {0, 0, 279, 71}});
    c.push_back({"GNPR", K::Group, "General", "Program", {6, 88, 196, 90}, 0, false, true});
    c.push_back({"Label1", K::Label, "GNPR", "Program Type", {8, 18, 100, 16}, 0, false, true});
    c.push_back({.name = "PTY",
                 .kind = K::PickList,
                 .parent = "GNPR",
                 .caption = {},
                 .place = {8, 36, 104, 24},
                 .accessibleName = "Program Type",
                 .items = Names(kProgrammeTypeNames),
                 .field = FieldId::PTY});
    c.push_back({.name = "Label4",
                 .kind = K::Label,
                 .parent = "GNPR",
                 .caption = "M/S",
                 .place = {118, 18, 60, 16},
                 .translatable = true,
                 .hint = "Music/Speech"});
    c.push_back({.name = "MS",
                 .kind = K::PickList,
                 .parent = "GNPR",
                 .caption = {},
                 .place = {118, 36, 70, 24},
                 .accessibleName = "M/S",
                 .items = {"Speech", "Music"},
                 .field = FieldId::MS});
    c.push_back(
        {"GNTS", K::Group, "General", "Traffic settings", {206, 88, 110, 90}, 0, false, true});
    for (const auto& [label, box, x, hint, field] :
         {std::tuple{"Label5", "TP", 8, "Traffic Program", FieldId::TP},
          {"Label6", "TA", 58, "Traffic Announcement", FieldId::TA}}) {
        c.push_back({.name = label,
                     .kind = K::Label,
                     .parent = "GNTS",
                     .caption = box,
                     .place = {x, 18, 40, 16},
                     .translatable = true,
                     .hint = hint});
        c.push_back({.name = box,
                     .kind = K::PickList,
                     .parent = "GNTS",
                     .caption = {},
                     .place = {x, 36, 44, 24},
                     .accessibleName = box,
                     .items = {"0", "1"},
                     .field = field});
    }
    c.push_back({"GNDI",
                 K::Group,
                 "General",
                 "Decoder Identification",
                 {320, 88, 189, 90},
                 0,
                 false,
                 true});
    c.push_back({.name = "DI",
                 .kind = K::CheckList,
                 .parent = "GNDI",
                 .caption = {},
                 .place = {6, 19, 178, 68},
                 .accessibleName = "Decoder Identification",
                 .items = Names(kDecoderIdNames),
                 .field = FieldId::DI});
    c.push_back({"GNAF",
                 K::Group,
                 "General",
                 "Alternative Frequencies",
                 {6, 180, 503, 52},
                 0,
                 false,
                 true});
    for (std::size_t i = 0; i < kAfCount; ++i) {
        const std::string number = std::to_string(i + 1);
        c.push_back({.name = "AF" + number,
                     .kind = K::TextBox,
                     .parent = "GNAF",
                     .caption = {},
                     .place = {8 + static_cast<int>(i) * 62, 20, 56, 24},
                     .limit = Limit(AfField(i)),
                     .accessibleName = "Alternative frequency " + number,
                     .field = AfField(i)});
    }
    c.push_back({"Label3", K::Label, "GNAF", "MHz", {444, 24, 50, 16}});
}

void AddDynamicPsPage(std::vector<ControlDesign>& c) {
    c.push_back(
        {"DPST", K::Group, "DynamicPS", "Dynamic PS text", {6, 4, 244, 130}, 0, false, true});
    for (const int k : {0, 1, 2, 3, 7, 6, 5, 4}) {  // down the first column, up the second
        const int column = k < 4 ? 0 : 1;
        const int row = k % 4;
        const std::string number = std::to_string(k + 1);
        c.push_back({"LabelDps" + number,
                     K::Label,
                     "DPST",
                     number + ":",
                     {10 + column * 118, 24 + row * 26, 16, 18}});
        c.push_back({.name = "DPS" + number,
                     .kind = K::TextBox,
                     .parent = "DPST",
                     .caption = {},
                     .place = {28 + column * 118, 21 + row * 26, 86, 24},
                     .limit = Limit(DpsField(static_cast<std::size_t>(k))),
                     .accessibleName = "Dynamic PS " + number,
                     .field = DpsField(static_cast<std::size_t>(k))});
    }
    c.push_back({"DPRA", K::Group, "DynamicPS", "Repeat after", {6, 138, 244, 94}, 0, false, true});
    c.push_back(Slider("TrackBar1", "DPRA", {8, 28, 176, 32}, FieldId::DPSP, "Repeat after"));
    c.push_back({.name = "DPSP",
                 .kind = K::Label,
                 .parent = "DPRA",
                 .caption = "39 s",
                 .place = {186, 34, 50, 18},
                 .rightAligned = true});
    c.push_back({"DPOP", K::Group, "DynamicPS", "Options", {256, 4, 253, 228}, 0, false, true});
    c.push_back(
        Bound({"ENDPS", K::TickBox, "DPOP", "Enable dynamic PS", {10, 20, 200, 20}, 0, false, true},
              FieldId::DPSE));
    c.push_back({.name = "Panel1",
                 .kind = K::Panel,
                 .parent = "DPOP",
                 .caption = {},
                 .place = {8, 46, 237, 174},
                 .framed = true});
    c.push_back(Bound({"PSFF", K::TickBox, "Panel1", "From file:", {8, 8, 200, 20}, 0, false, true},
                      FieldId::DPSFF));
    c.push_back({.name = "PSFILE",
                 .kind = K::FileNameBox,
                 .parent = "Panel1",
                 .caption = {},
                 .place = {8, 32, 188, 24},
                 .accessibleName = "Dynamic PS file",
                 .field = FieldId::DPSSF});
    c.push_back({"DPBR", K::Button, "Panel1", "...", {200, 32, 28, 24}});
    c.push_back(
        Bound({"UPCHPS", K::TickBox, "Panel1", "Send on change", {8, 66, 200, 20}, 0, false, true},
              FieldId::DPSSC));
    c.push_back(
        Bound({"DPSA", K::TickBox, "Panel1", "Smart alignment", {8, 92, 200, 20}, 0, false, true},
              FieldId::DPSSA));
    c.push_back(
        Bound({"DPSC", K::TickBox, "Panel1", "Effects with:", {26, 120, 110, 20}, 0, false, true},
              FieldId::DPSEF));
    c.push_back({.name = "EFCHAR",
                 .kind = K::TextBox,
                 .parent = "Panel1",
                 .caption = {},
                 .place = {140, 118, 28, 24},
                 .limit = Limit(FieldId::EFCHAR),
                 .accessibleName = "Effect character",
                 .field = FieldId::EFCHAR});
}

void AddRadiotextPage(std::vector<ControlDesign>& c) {
    static const char* const kNames[kRadiotextCount] = {"RT", "RT2", "RT3", "RT4"};
    for (int i = 0; i < static_cast<int>(kRadiotextCount); ++i) {
        const int y = 6 + i * 27;
        const std::string number = std::to_string(i + 1);
        c.push_back({.name = "SRT" + number,
                     .kind = K::Choice,
                     .parent = "Radiotext",
                     .caption = {},
                     .place = {8, y + 3, 20, 20},
                     .accessibleName = "Current radiotext " + number,
                     .field = FieldId::SELRT,
                     .choice = i + 1});
        c.push_back({.name = kNames[i],
                     .kind = K::TextBox,
                     .parent = "Radiotext",
                     .caption = {},
                     .place = {30, y, 479, 24},
                     .limit = Limit(RadiotextField(i + 1)),
                     .highlighted = i == 0,
                     .accessibleName = "Radiotext " + number,
                     .field = RadiotextField(i + 1)});
    }
    c.push_back({"RTOP", K::Group, "Radiotext", "Options", {6, 114, 503, 118}, 0, false, true});
    c.push_back(
        Bound({"RTSA", K::TickBox, "RTOP", "Switch after:", {10, 20, 200, 20}, 0, false, true},
              FieldId::RTSA));
    c.push_back(Slider("TrackBar2", "RTOP", {10, 42, 196, 32}, FieldId::RTSAT, "Switch after"));
    c.push_back({.name = "RTST",
                 .kind = K::Label,
                 .parent = "RTOP",
                 .caption = "5 min",
                 .place = {126, 74, 80, 16},
                 .rightAligned = true});
    c.push_back(Bound({"ABSW", K::TickBox, "RTOP", "Use A/B", {10, 92, 200, 20}, 0, false, true},
                      FieldId::RTUSAB));
    c.push_back({.name = "Panel2",
                 .kind = K::Panel,
                 .parent = "RTOP",
                 .caption = {},
                 .place = {220, 18, 275, 92},
                 .framed = true});
    c.push_back(Bound({"RTFF", K::TickBox, "Panel2", "From file:", {8, 8, 100, 20}, 0, false, true},
                      FieldId::RTFF));
    c.push_back(
        Bound({"UPCH", K::TickBox, "Panel2", "Send on change", {110, 8, 160, 20}, 0, false, true},
              FieldId::RTSC));
    c.push_back({.name = "RTFILE",
                 .kind = K::FileNameBox,
                 .parent = "Panel2",
                 .caption = {},
                 .place = {8, 40, 226, 24},
                 .accessibleName = "Radiotext file",
                 .field = FieldId::RTSF});
    c.push_back({"RTBR", K::Button, "Panel2", "...", {238, 40, 28, 24}});
}

void AddSettingsPage(std::vector<ControlDesign>& c) {
    c.push_back(
        {"LastSentBox", K::Group, "Settings", "Last sent", {6, 92, 300, 140}, 0, false, true});
    c.push_back(
        {"SHOWB1", K::Choice, "LastSentBox", "To bank 1", {10, 18, 120, 20}, 0, false, true});
    c.push_back(
        {"SHOWB2", K::Choice, "LastSentBox", "To bank 2", {150, 18, 120, 20}, 0, false, true});
    c.push_back({.name = "SENT",
                 .kind = K::Memo,
                 .parent = "LastSentBox",
                 .caption = {},
                 .place = {8, 42, 284, 92},
                 .accessibleName = "Last sent"});
    c.push_back({"STOP", K::Group, "Settings", "Options", {312, 4, 197, 228}, 0, false, true});
    int y = 20;
    for (const auto& [name, caption, field] : {std::tuple{"SEND", "Send after Load", FieldId::SEND},
                                               {"EXAL", "Exit after Send", FieldId::EXIT},
                                               {"AUTOSAVE", "Auto Save", FieldId::AUTOSAVE},
                                               {"HIPRI", "High priority", FieldId::HIPRI},
                                               {"ALONTOP", "Always on top", FieldId::ALONTOP}}) {
        c.push_back(
            Bound({name, K::TickBox, "STOP", caption, {10, y, 180, 20}, 0, false, true}, field));
        y += 20;
    }
    c.push_back({"PORT", K::Group, "STOP", "Port", {8, 122, 181, 62}, 0, false, true});
    c.push_back(Bound({"PORT1", K::Choice, "PORT", "LPT1 (0x378)", {10, 18, 160, 20}},
                      FieldId::PORT, static_cast<int>(PortChoice::Lpt1)));
    c.push_back(Bound({"PORT2", K::Choice, "PORT", "LPT2 (0x278)", {10, 38, 160, 20}},
                      FieldId::PORT, static_cast<int>(PortChoice::Lpt2)));
    c.push_back({"PORTINFO", K::Label, "STOP", "", {10, 184, 179, 14}});
    c.push_back(
        {"REGRDS", K::Button, "STOP", "Make *.rds executable", {8, 200, 181, 24}, 0, false, true});
    c.push_back(
        {"Membanks", K::Group, "Settings", "Memory banks", {6, 4, 300, 84}, 0, false, true});
    c.push_back(
        Bound({"STB1", K::Choice, "Membanks", "Send to bank 1", {10, 20, 140, 20}, 0, false, true},
              FieldId::STB, static_cast<int>(Bank::One)));
    c.push_back(
        Bound({"STB2", K::Choice, "Membanks", "Send to bank 2", {150, 20, 140, 20}, 0, false, true},
              FieldId::STB, static_cast<int>(Bank::Two)));
    c.push_back(Bound({"AUTBSW",
                       K::TickBox,
                       "Membanks",
                       "RDS Encoder uses both memory banks in loop",
                       {10, 42, 286, 20},
                       0,
                       false,
                       true},
                      FieldId::MBS));
    c.push_back(Bound({"WRITEALL",
                       K::TickBox,
                       "Membanks",
                       "Write every page, not only the changed ones",
                       {10, 62, 286, 20},
                       0,
                       false,
                       true},
                      FieldId::WRITEALL));
}

void AddHelpPage(std::vector<ControlDesign>& c) {
    c.push_back({.name = "HelpBox",
                 .kind = K::RichText,
                 .parent = "Help",
                 .caption = {},
                 .place = {4, 4, 300, 228},
                 .highlighted = true,
                 .accessibleName = "Help"});
    c.push_back({"ABOUT", K::Group, "Help", "About", {310, 2, 199, 230}, 0, false, true});
    c.push_back({"AboutTitle",
                 K::Label,
                 "ABOUT",
                 kProductShortName,
                 {8, 18, 185, 22},
                 0,
                 false,
                 false,
                 true});
    c.push_back({"AboutVersion",
                 K::Label,
                 "ABOUT",
                 std::string("Version ") + kProductVersion,
                 {8, 42, 185, 16},
                 0,
                 false,
                 false,
                 true});
    c.push_back({.name = "Image3Frame",
                 .kind = K::Panel,
                 .parent = "ABOUT",
                 .caption = {},
                 .place = {8, 64, 108, 46},
                 .framed = true});
    c.push_back({"Image3", K::Picture, "Image3Frame", "", {2, 2, 104, 42}});
    c.push_back({"AboutLine", K::Label, "ABOUT", "RDS Encoder Solution", {8, 118, 185, 16}});
    c.push_back({"AboutCredit",
                 K::Label,
                 "ABOUT",
                 "Written for the radio engineers and operators who keep RDS on air, day and "
                 "night.",
                 {8, 138, 185, 50}});
    c.push_back({"Label8", K::Link, "ABOUT", "Operator's manual", {8, 196, 185, 18}});
}

void AddOnAirPage(std::vector<ControlDesign>& c) {
    c.push_back({"ONAIRB1", K::Choice, "OnAir", "Bank 1", {8, 6, 70, 18}});
    c.push_back({"ONAIRB2", K::Choice, "OnAir", "Bank 2", {80, 6, 70, 18}});
    c.push_back(
        {"ONAIRNOW", K::Choice, "OnAir", "Not sent yet: what Send would write", {152, 6, 300, 18}});
    c.push_back({.name = "ONAIRPS",
                 .kind = K::Label,
                 .parent = "OnAir",
                 .caption = {},
                 .place = {8, 28, 160, 34},
                 .accessibleName = "Programme service name on air"});
    c.push_back({.name = "ONAIRRT",
                 .kind = K::Label,
                 .parent = "OnAir",
                 .caption = {},
                 .place = {8, 64, 497, 36},
                 .accessibleName = "Radiotext on air"});
    c.push_back({"ONAIRINFO", K::Label, "OnAir", "", {172, 28, 333, 34}});
    c.push_back({.name = "ONAIRWARN",
                 .kind = K::Memo,
                 .parent = "OnAir",
                 .caption = {},
                 .place = {8, 104, 497, 128},
                 .accessibleName = "What a receiver gets, and the checks"});
}

std::vector<ControlDesign> BuildLayout() {
    std::vector<ControlDesign> controls;
    AddStrip(controls);
    AddGeneralPage(controls);
    AddDynamicPsPage(controls);
    AddRadiotextPage(controls);
    AddSettingsPage(controls);
    AddHelpPage(controls);
    AddOnAirPage(controls);
    return controls;
}

}  // namespace

const std::vector<ControlDesign>& WindowLayout() {
    static const std::vector<ControlDesign> layout = BuildLayout();
    return layout;
}

const ControlDesign* FindControl(const std::string& name) {
    const auto& layout = WindowLayout();
    const auto found = std::find_if(layout.begin(), layout.end(),
                                    [&name](const ControlDesign& c) { return c.name == name; });
    return found == layout.end() ? nullptr : &*found;
}

Place PlaceOnPage(const ControlDesign& control) {
    Place place = control.place;
    for (const ControlDesign* parent = FindControl(control.parent);
         parent && parent->kind != ControlKind::Page; parent = FindControl(parent->parent)) {
        place.x += parent->place.x;
        place.y += parent->place.y;
    }
    return place;
}

std::string PageOf(const ControlDesign& control) {
    for (const ControlDesign* c = &control; c; c = FindControl(c->parent)) {
        if (c->kind == ControlKind::Page) {
            return c->name;
        }
    }
    return {};
}

}  // namespace vaxo
