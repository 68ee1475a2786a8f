// The program's resources: template, control, string, icon and command ids, and string 101.
#pragma once

// Dialog templates, string and icon.
inline constexpr int aboutBoxTemplate = 100;  // AboutDlg
inline constexpr int aboutBoxString = 101;    // the About item of the dialog's menu
inline constexpr int mainDialogTemplate = 102;
inline constexpr int mainIcon = 128;  // 32 × 32 and 16 × 16, 16 colours

// Controls of template 102. Static texts carry no id (-1, as in the template).
inline constexpr int noControlId = -1;
inline constexpr int okButtonId = 1;
inline constexpr int startCaptureId = 1000;
inline constexpr int inputViewId = 1001;
inline constexpr int outputViewId = 1002;
inline constexpr int outputPointListId = 1003;
inline constexpr int stopCaptureId = 1004;
inline constexpr int saveBmpId = 1005;
inline constexpr int loadBmpId = 1006;
inline constexpr int clearInputId = 1007;
inline constexpr int inputPointListId = 1008;
inline constexpr int clearOutputId = 1009;
inline constexpr int calibrationId = 1010;
inline constexpr int homographyListId = 1011;

// Commands of the dialog's menu. The low four bits are the platform's own.
inline constexpr int aboutCommand = 0x0010;
inline constexpr int closeCommand = 0xF060;

// String 101; the text of a string id, or an empty text for an unknown id.
inline constexpr const char* aboutItemText = "Veltro 정보(&A)...";
const char* loadString(int id);
