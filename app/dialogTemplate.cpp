#include "app/dialogTemplate.h"

#include "app/resource.h"

namespace {

using namespace style;

constexpr std::uint32_t listBox = listNotify | noIntegralHeight | vScroll | border | tabStop;
constexpr std::uint32_t label = leftText | group;

constexpr ControlTemplate plandisControls[] = {
    {startCaptureId, ControlClass::button, "Start Capture", {297, 7, 55, 14}, tabStop},
    {stopCaptureId, ControlClass::button, "Stop Capture", {297, 28, 55, 14}, tabStop},
    {saveBmpId, ControlClass::button, "Save BMP", {297, 70, 55, 14}, tabStop},
    {loadBmpId, ControlClass::button, "Load BMP", {297, 49, 55, 14}, tabStop},
    {inputViewId, ControlClass::staticControl, "", {7, 7, 139, 160}, blackFrame | notify},
    {noControlId, ControlClass::staticControl, "Input Image", {7, 171, 43, 8}, label},
    {noControlId, ControlClass::staticControl, "Output Image", {114, 170, 43, 8}, label},
    {outputViewId, ControlClass::staticControl, "", {151, 7, 139, 160}, blackFrame | notify},
    {outputPointListId, ControlClass::listBox, "", {163, 171, 43, 33}, listBox},
    {clearInputId, ControlClass::button, "Clear Data", {16, 190, 43, 14}, tabStop},
    {inputPointListId, ControlClass::listBox, "", {63, 171, 43, 33}, listBox},
    {clearOutputId, ControlClass::button, "Clear Data", {116, 190, 43, 14}, tabStop},
    {calibrationId, ControlClass::button, "Calibration", {300, 92, 52, 10}, autoCheckBox | tabStop},
    {homographyListId, ControlClass::listBox, "", {256, 171, 96, 33}, listBox},
    {noControlId, ControlClass::staticControl, "Homography", {211, 171, 43, 8}, label},
    {noControlId,
     ControlClass::staticControl,
     "1. Press Start Capture      2. Get 4 points in Input and Output Image    "
     "3. Check Calibration button.",
     {7, 209, 345, 8},
     label},
};

constexpr DialogTemplate plandisDialog = {
    mainDialogTemplate,
    "Tessaro  2016.5.17",
    "굴림",
    9,
    359,
    224,
    popup | visible | caption | sysMenu | modalFrame | setFont,
    appWindow,
    plandisControls,
};

constexpr ControlTemplate aboutControls[] = {
    {noControlId, ControlClass::staticControl, "128", {11, 17, 20, 20}, icon},
    {noControlId,
     ControlClass::staticControl,
     "Veltro 버전 1.0",
     {40, 10, 119, 8},
     leftText | noPrefix | group},
    {okButtonId, ControlClass::button, "확인", {178, 7, 50, 14}, defPushButton | group | tabStop},
};

constexpr DialogTemplate aboutDialog = {
    aboutBoxTemplate,
    "Veltro 정보",
    "굴림",
    9,
    235,
    55,
    popup | caption | sysMenu | modalFrame | setFont,
    0,
    aboutControls,
};

}  // namespace

const DialogTemplate& plandisDialogTemplate() {
    return plandisDialog;
}

const DialogTemplate& aboutDialogTemplate() {
    return aboutDialog;
}

const char* loadString(int id) {
    return id == aboutBoxString ? aboutItemText : "";
}
