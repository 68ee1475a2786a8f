// Dialog templates as data: the dialog's caption, font, size and style, and each control
// with its id, class, text, rectangle in dialog units and style, in template order (which
// is also the tab order). buildDialog (dialogBuilder.h) turns a template into widgets.
#pragma once

#include <cstdint>
#include <span>

// The platform's style bits that the templates use.
namespace style {
inline constexpr std::uint32_t popup = 0x80000000;
inline constexpr std::uint32_t visible = 0x10000000;
inline constexpr std::uint32_t caption = 0x00C00000;
inline constexpr std::uint32_t sysMenu = 0x00080000;
inline constexpr std::uint32_t modalFrame = 0x00000080;
inline constexpr std::uint32_t setFont = 0x00000040;
inline constexpr std::uint32_t appWindow = 0x00040000;  // extended style: a taskbar button

inline constexpr std::uint32_t tabStop = 0x00010000;
inline constexpr std::uint32_t group = 0x00020000;
inline constexpr std::uint32_t vScroll = 0x00200000;
inline constexpr std::uint32_t border = 0x00800000;

inline constexpr std::uint32_t pushButton = 0x0;  // button kinds: the low four bits
inline constexpr std::uint32_t defPushButton = 0x1;
inline constexpr std::uint32_t autoCheckBox = 0x3;

inline constexpr std::uint32_t leftText = 0x00;  // static kinds: the low five bits
inline constexpr std::uint32_t icon = 0x03;
inline constexpr std::uint32_t blackFrame = 0x07;
inline constexpr std::uint32_t noPrefix = 0x80;
inline constexpr std::uint32_t notify = 0x100;  // a static reports clicks

inline constexpr std::uint32_t listNotify = 0x0001;
inline constexpr std::uint32_t noIntegralHeight = 0x0100;
}  // namespace style

enum class ControlClass { button, staticControl, listBox };

struct DialogRect {
    int x;
    int y;
    int w;
    int h;
};

struct ControlTemplate {
    int id;
    ControlClass controlClass;
    const char* text;  // UTF-8; for an icon static, the icon's resource id
    DialogRect rect;
    std::uint32_t style;
};

struct DialogTemplate {
    int id;
    const char* caption;  // UTF-8
    const char* fontFace;
    int pointSize;
    int width;  // client area, dialog units
    int height;
    std::uint32_t style;
    std::uint32_t exStyle;
    std::span<const ControlTemplate> controls;
};

// Template 102, the main dialog.
const DialogTemplate& plandisDialogTemplate();

// Template 100, the About box.
const DialogTemplate& aboutDialogTemplate();
