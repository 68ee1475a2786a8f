// Window services: what the dialog's handlers ask of the window system (list boxes,
// checkbox state, message boxes, file dialogs and the icon), so that the handlers read as
// plain steps. Message boxes and file dialogs each have a stand-in that tests set to
// answer for the user.
#pragma once

#include <QIcon>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAbstractButton;
class QFileDialog;
class QListWidget;
class QWidget;

// List box: entries stay in the order they were appended.
int listCount(const QListWidget& list);
std::string listText(const QListWidget& list, int index);  // UTF-8
void listAppend(QListWidget& list, const std::string& text);
void listReset(QListWidget& list);

// Checkbox: 1 when checked, 0 when not.
int checkState(const QAbstractButton& box);

// A modal message box with an OK button only, captioned with the application's name.
// Returns when it has been closed.
void messageBox(QWidget* owner, const QString& text);

// When set, messageBox hands its text here instead of showing a box.
extern std::function<void(QWidget* owner, const QString& text)> messageBoxStandIn;

// A modal one-line text question, captioned with the application's name: the text typed
// (starting as `initial`), or nothing when cancelled.
std::optional<QString> textInput(QWidget* owner, const QString& label, const QString& initial);

// When set, textInput asks this instead of showing the question.
extern std::function<std::optional<QString>(const QString& label, const QString& initial)>
    textInputStandIn;

enum class FileDialogKind { open, save };

struct FileDialogSettings {
    const char* defaultExtension;  // added to a name typed without one
    const char* initialName;
    const char* filter;  // "description|patterns|...||", patterns separated by ';'
};

// One choice of a file filter.
struct FilterChoice {
    std::string description;
    std::vector<std::string> patterns;
};

// The choices of a filter in the "description|patterns|description|patterns||" form. Blanks
// next to the bars belong to the description; each pattern is trimmed.
std::vector<FilterChoice> parseFilter(const std::string& filter);

// The choices as Qt name filters. File names on Linux are case-sensitive, so each pattern
// is offered in upper and lower case as well as written, and "*.*" (any file, also one
// without a dot) becomes "*".
QStringList nameFilters(const std::vector<FilterChoice>& choices);

// The open or save dialog with these settings, without an owner. It asks for no read-only
// choice, and saving over an existing file asks nothing.
std::unique_ptr<QFileDialog> makeFileDialog(FileDialogKind kind,
                                            const FileDialogSettings& settings);

// Runs that dialog modally: the chosen path as narrow (local 8-bit) text, or nothing when
// the user did not confirm.
std::optional<std::string> fileDialog(FileDialogKind kind, const FileDialogSettings& settings);

// When set, fileDialog asks this with the prepared dialog instead of running it: a path,
// or nothing for a cancelled dialog.
extern std::function<std::optional<QString>(QFileDialog& dialog)> fileDialogStandIn;

// An icon resource with all its images; an empty icon for an unknown id.
QIcon loadIcon(int id);
