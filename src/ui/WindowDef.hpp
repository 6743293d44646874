// SPDX-License-Identifier: GPL-3.0-or-later
// A window as data: every control with its name, element, kind, place in twips,
// caption, colours, font and initial text. The logic and the Qt layer both read it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace logora::ui {

// Element number of a control that is not part of a control array.
inline constexpr int kNoElement = -1;

enum class Kind {
    Text,   // single-line text field
    Label,  // fixed caption
    Button, // push button (picture button of the calculators)
    Combo,  // caption chooser: editable text and a fixed list
};

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb kPeach{255, 224, 192};
inline constexpr Rgb kPink{255, 192, 192};
inline constexpr Rgb kTotalRed{255, 128, 128};
inline constexpr Rgb kWindowBack{236, 226, 204}; // the calculators' parchment background

// The title band across the top of a calculator, in both front ends: its height, dark wood
// shading from its top to its bottom, a light caption of 17 pt bold, a golden lower edge.
inline constexpr int kTitleBandTwips = 1005;
inline constexpr Rgb kBandTop{122, 78, 36};
inline constexpr Rgb kBandMiddle{92, 56, 24};
inline constexpr Rgb kBandBottom{64, 38, 16};
inline constexpr Rgb kBandCaption{250, 236, 206};
inline constexpr Rgb kBandEdge{214, 170, 96};
inline constexpr double kBandCaptionPoints = 17;
// The dark frame a calculator draws around itself: no control may reach under it.
inline constexpr int kFrameTwips = 45;

struct FontSpec {
    std::u16string family = u"宋体";
    double points = 10.5;
    bool bold = false;
};

struct ControlKey {
    std::u16string name;
    int element = kNoElement;
    friend auto operator<=>(const ControlKey&, const ControlKey&) = default;
};

// What the shell does with a control; the calculators' own buttons (presets, clearing) are
// wired by their logic.
enum class Role {
    None,
    Export,      // "导出表格"
    Exit,        // "退出"
    Minimise,    // "最小化"
    BackToGrid,  // "返回"
    Manual,      // "使用说明"
    OpenPrices,  // "单价设置"
    SwitchBox,   // the chooser of the calculator shown
    Ledger,      // "账单记录"
    Compare,     // "标准对照"
    PriceDetail, // "价格明细"
    Phone,       // "手机检尺"
    PhoneCode,   // the place of the phone page's QR code, drawn by the front end
};

struct ControlDef {
    Kind kind = Kind::Text;
    std::u16string name;
    int element = kNoElement;
    int left = 0, top = 0, width = 0, height = 0; // twips
    std::u16string text;                          // caption, or initial text of a field/combo
    std::vector<std::u16string> items;            // list of a caption chooser
    std::u16string toolTip;
    std::optional<Rgb> back;
    std::optional<Rgb> fore;
    FontSpec font;
    bool visible = true;
    bool clickable = false;     // a label that acts as a button
    bool selectOnFocus = false; // whole text selected when the field receives the focus
    bool arrowKeys = false;     // Up and Down step through the elements of its array
    bool pickOnly = false;      // a chooser that takes only the texts of its list
    bool password = false;      // a field whose text is shown as dots
    std::u16string widest;      // of a computed field: the widest text a tally can reach
    Role role = Role::None;
    ControlKey key() const { return {name, element}; }
};

struct WindowDef {
    std::u16string name;       // Form1 .. Form4
    std::u16string title;      // shown where the platform shows titles
    int width = 0, height = 0; // client area, twips
    std::optional<Rgb> back;
    bool frameless = false; // a calculator window: no title bar, its own title band
    std::u16string band;    // the caption drawn in the title band
    std::vector<ControlDef> controls;
    // Enter and Tab follow it; controls not listed come after, in definition order.
    std::vector<ControlKey> focusOrder;
};

// The longest status line of a log calculator: the rule's gaps with a wide size in them.
inline constexpr std::u16string_view kWidestGapLine =
    u"88处未计材积：径级120.5 长13.65米超出ГОСТ 2708-75材积表";

inline constexpr int kTwipsPerPixel = 15; // at 96 dpi

WindowDef gridWindowDef();  // Form1
WindowDef listWindowDef();  // Form2
WindowDef sawnWindowDef();  // Form3
WindowDef priceWindowDef(); // Form4
WindowDef listEditorDef();  // Form5, "价格表"
WindowDef yardWindowDef();  // Form6, "共享账本"
WindowDef phoneWindowDef(); // Form7, "手机检尺"

// The editor's table: length bands across, bands down, fees under it.
inline constexpr int kListEditorLengths = 6;
inline constexpr int kListEditorBands = 12;
inline constexpr int kListEditorFees = 4;

} // namespace logora::ui
