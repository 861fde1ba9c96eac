#pragma once

#include <span>
#include <string_view>

namespace kv {

enum class ControlKind {
    Window,   // the form itself
    GroupBox, // a captioned frame holding other controls
    Label,
    PickList, // editable drop-down list
    TextBox,  // single line
    MultiLineTextBox,
    Button,
    PictureBox,
    Image, // text names the picture: "green", "yellow" or "red"
    Line,  // left, top, width, height hold x1, y1, x2, y2
};

enum class TextColour { Black, Red };
enum class ControlFont { Default, Arial10_5 };

// One control of the window. Positions and sizes are in twips (15 to a pixel),
// relative to the container; index -1 marks a control that is not part of an
// array.
struct ControlRow {
    std::string_view name;
    ControlKind kind;
    int index;
    std::string_view container;
    int left;
    int top;
    int width;
    int height;
    // UTF-8. Words are marked for translation in the context "kv::frmMain" and
    // translated as the control is built; numbers and model names are not.
    std::string_view text;
    TextColour colour;
    ControlFont font;
    bool enabled;
    std::string_view toolTip = {};
};

// Every control, containers before their contents, in stacking order.
std::span<const ControlRow> controlTable();

// The design-time entries of the drop-down lists that have any, marked and
// translated like the controls' texts.
struct ListEntries {
    std::string_view list;
    std::span<const std::string_view> entries;
};
std::span<const ListEntries> listEntriesTable();

inline constexpr int TwipsPerPixel = 15;

// Twips to pixels, rounded to the nearest pixel.
int twipsToPixels(int twips);

} // namespace kv
