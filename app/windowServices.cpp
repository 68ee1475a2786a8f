#include "app/windowServices.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QListWidget>
#include <QMessageBox>
#include <QPixmap>

#include "app/icons/icon128_16.xpm"
#include "app/icons/icon128_32.xpm"
#include "app/resource.h"

std::function<void(QWidget* owner, const QString& text)> messageBoxStandIn;
std::function<std::optional<QString>(QFileDialog& dialog)> fileDialogStandIn;
std::function<std::optional<QString>(const QString& label, const QString& initial)>
    textInputStandIn;

int listCount(const QListWidget& list) {
    return list.count();
}

std::string listText(const QListWidget& list, int index) {
    const QListWidgetItem* entry = list.item(index);
    return entry == nullptr ? std::string() : entry->text().toStdString();
}

void listAppend(QListWidget& list, const std::string& text) {
    list.addItem(QString::fromStdString(text));
}

void listReset(QListWidget& list) {
    list.clear();
}

int checkState(const QAbstractButton& box) {
    return box.isChecked() ? 1 : 0;
}

void messageBox(QWidget* owner, const QString& text) {
    if (messageBoxStandIn) {
        messageBoxStandIn(owner, text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), text, QMessageBox::Ok,
                    owner);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

std::optional<QString> textInput(QWidget* owner, const QString& label, const QString& initial) {
    if (textInputStandIn) {
        return textInputStandIn(label, initial);
    }
    bool confirmed = false;
    const QString text = QInputDialog::getText(owner, QCoreApplication::applicationName(), label,
                                               QLineEdit::Normal, initial, &confirmed);
    return confirmed ? std::optional(text) : std::nullopt;
}

std::vector<FilterChoice> parseFilter(const std::string& filter) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : filter) {
        if (c == '|') {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    std::vector<FilterChoice> choices;
    // The list ends at the first empty description ("||").
    for (std::size_t i = 0; i + 1 < parts.size() && !parts[i].empty(); i += 2) {
        FilterChoice choice{parts[i], {}};
        std::string pattern;
        for (const char c : parts[i + 1] + ';') {
            if (c != ';') {
                pattern += c;
                continue;
            }
            const auto first = pattern.find_first_not_of(' ');
            if (first != std::string::npos) {
                choice.patterns.push_back(
                    pattern.substr(first, pattern.find_last_not_of(' ') - first + 1));
            }
            pattern.clear();
        }
        choices.push_back(choice);
    }
    return choices;
}

QStringList nameFilters(const std::vector<FilterChoice>& choices) {
    QStringList filters;
    for (const FilterChoice& choice : choices) {
        QStringList patterns;
        for (const std::string& written : choice.patterns) {
            if (written == "*.*") {
                patterns << QStringLiteral("*");
                continue;
            }
            const QString pattern = QString::fromStdString(written);
            for (const QString& form : {pattern, pattern.toUpper(), pattern.toLower()}) {
                if (!patterns.contains(form)) {
                    patterns << form;
                }
            }
        }
        filters << QString::fromStdString(choice.description).trimmed() + QStringLiteral(" (") +
                       patterns.join(QLatin1Char(' ')) + QStringLiteral(")");
    }
    return filters;
}

std::unique_ptr<QFileDialog> makeFileDialog(FileDialogKind kind,
                                            const FileDialogSettings& settings) {
    auto dialog = std::make_unique<QFileDialog>();
    dialog->setAcceptMode(kind == FileDialogKind::open ? QFileDialog::AcceptOpen
                                                       : QFileDialog::AcceptSave);
    // Any name may be typed: a file that cannot be read is reported by the command.
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setOption(QFileDialog::DontConfirmOverwrite, kind == FileDialogKind::save);
    dialog->setOption(QFileDialog::HideNameFilterDetails, true);
    dialog->setDefaultSuffix(QString::fromUtf8(settings.defaultExtension));
    dialog->setNameFilters(nameFilters(parseFilter(settings.filter)));
    dialog->selectFile(QString::fromUtf8(settings.initialName));
    return dialog;
}

std::optional<std::string> fileDialog(FileDialogKind kind, const FileDialogSettings& settings) {
    const std::unique_ptr<QFileDialog> dialog = makeFileDialog(kind, settings);
    std::optional<QString> path;
    if (fileDialogStandIn) {
        path = fileDialogStandIn(*dialog);
    } else if (dialog->exec() == QDialog::Accepted && !dialog->selectedFiles().isEmpty()) {
        path = dialog->selectedFiles().first();
    }
    if (!path) {
        return std::nullopt;
    }
    return QFile::encodeName(*path).toStdString();
}

QIcon loadIcon(int id) {
    QIcon icon;
    if (id == mainIcon) {
        icon.addPixmap(QPixmap(icon128Large));
        icon.addPixmap(QPixmap(icon128Small));
    }
    return icon;
}
