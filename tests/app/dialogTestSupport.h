// What the dialog tests share: a clean shared state, recorded message boxes, answered file
// dialogs, frames put in place by hand, and BMP files written byte by byte.
#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class PlandisDlg;
class QFileDialog;
class QWidget;

// Back to the state before any capture, load or calibration.
void resetSharedState();

// While alive, message boxes are recorded instead of shown.
class MessageRecorder {
  public:
    MessageRecorder();
    ~MessageRecorder();
    QStringList texts;
};

// A main dialog over a clean shared state with its message boxes recorded, shown; false
// when its window never got exposed.
bool openDialog(std::unique_ptr<PlandisDlg>& dialog, std::unique_ptr<MessageRecorder>& messages);

// The reverse: the dialog closed, recording stopped, the shared state cleared again.
void closeDialog(std::unique_ptr<PlandisDlg>& dialog, std::unique_ptr<MessageRecorder>& messages);

// While alive, every file dialog is answered with `path` (or cancelled when it is empty);
// the settings of the last dialog asked are kept.
class FileDialogAnswer {
  public:
    explicit FileDialogAnswer(std::optional<QString> path);
    ~FileDialogAnswer();
    int asked = 0;
    int acceptMode = -1;
    QString defaultSuffix;
    QString fileName;  // as the name field shows it
    QStringList selectedFiles;
    QStringList nameFilters;
    bool confirmsOverwrite = true;
    bool hasOwner = true;
};

// Installs a frame of this size; each buffer given replaces its shared buffer.
void setFrame(int width, int height, const std::vector<unsigned char>* gray,
              const std::vector<unsigned char>* rgb = nullptr,
              const std::vector<unsigned char>* output = nullptr);

// A BMP file as the format lays it out: bottom line first, rows padded to 4 bytes, an
// 8-bit picture with a grey palette. Rows of `topDown` are given top line first.
std::string bmpBytes(int width, int height, int bitCount,
                     const std::vector<unsigned char>& topDown);
void writeFile(const QString& path, const std::string& bytes);
std::string readFile(const QString& path);

// Pixels of a widget as it paints itself.
QImage grabbed(QWidget& widget);

// Count of pixels of exactly this colour.
int countColour(const QImage& image, QRgb colour);
