#include "app/dialogBuilder.h"

#include <QCheckBox>
#include <QDialog>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "app/PictureView.h"
#include "app/resource.h"
#include "app/windowServices.h"

namespace {

// Fallback face for the template's Korean face, where that one is not installed: a
// sans-serif Korean face, as the template's is, with every Hangul syllable, in which every
// caption fits its label at 12 px ("Output Image" takes 75 of 75 px). NanumGothic is 2 px
// too wide for it; UnDotum's narrower letters also shrink the dialog unit, leaving 70 px of
// text in a 65 px label.
constexpr const char* pinnedFace = "NanumSquare";

// The English name under which the template's face may also be installed.
QStringList namesOf(const QString& face) {
    if (face == QString::fromUtf8("굴림")) {
        return {face, QStringLiteral("Gulim")};
    }
    return {face};
}

QWidget* makeButton(const ControlTemplate& control, QWidget& parent) {
    const QString text = QString::fromUtf8(control.text);
    const std::uint32_t kind = control.style & 0xF;
    if (kind == style::autoCheckBox) {
        return new QCheckBox(text, &parent);
    }
    auto* button = new QPushButton(text, &parent);
    button->setDefault(kind == style::defPushButton);
    return button;
}

QWidget* makeStatic(const ControlTemplate& control, QWidget& parent) {
    const std::uint32_t kind = control.style & 0x1F;
    if (kind == style::blackFrame) {
        auto* view = new PictureView(&parent);
        view->setNotify((control.style & style::notify) != 0);
        return view;
    }
    auto* label = new QLabel(&parent);
    if (kind == style::icon) {
        label->setPixmap(loadIcon(QString::fromUtf8(control.text).toInt()).pixmap(32, 32));
        return label;
    }
    // Left-aligned static text, no markup. The labels are one line high, so a text too long
    // for its label is cut at the edge rather than wrapped out of sight by whole words.
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setText(QString::fromUtf8(control.text));
    return label;
}

QWidget* makeListBox(const ControlTemplate& control, QWidget& parent) {
    auto* list = new QListWidget(&parent);
    list->setVerticalScrollBarPolicy(
        (control.style & style::vScroll) != 0 ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    // A row wider than its list is never cut short: the list scrolls sideways to show it.
    list->setTextElideMode(Qt::ElideNone);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list->setSortingEnabled(false);
    return list;
}

QWidget* makeControl(const ControlTemplate& control, QWidget& parent) {
    switch (control.controlClass) {
        case ControlClass::button:
            return makeButton(control, parent);
        case ControlClass::staticControl:
            return makeStatic(control, parent);
        case ControlClass::listBox:
            return makeListBox(control, parent);
    }
    return nullptr;
}

}  // namespace

QString dialogFontFamily(const char* face) {
    for (const QString& name : namesOf(QString::fromUtf8(face))) {
        if (QFontDatabase::hasFamily(name)) {
            return name;
        }
    }
    if (QFontDatabase::hasFamily(QString::fromLatin1(pinnedFace))) {
        return QString::fromLatin1(pinnedFace);
    }
    const QStringList korean = QFontDatabase::families(QFontDatabase::Korean);
    return korean.isEmpty() ? QString::fromUtf8(face) : korean.first();
}

QFont dialogFont(const DialogTemplate& dialog) {
    QFont font(dialogFontFamily(dialog.fontFace));
    font.setPixelSize(pointsToPixels(dialog.pointSize));
    return font;
}

BaseUnits fontBaseUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    return baseUnits(metrics.horizontalAdvance(QString::fromLatin1(baseUnitAlphabet)),
                     metrics.height());
}

std::map<int, QWidget*> buildDialog(QDialog& dialog, const DialogTemplate& dialogTemplate) {
    const QFont font = dialogFont(dialogTemplate);
    const BaseUnits units = fontBaseUnits(font);
    dialog.setFont(font);
    dialog.setWindowTitle(QString::fromUtf8(dialogTemplate.caption));
    // Caption, system menu and modal frame: no minimize or maximize box, fixed size.
    dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    const PixelRect client = toPixels({0, 0, dialogTemplate.width, dialogTemplate.height}, units);
    dialog.setFixedSize(client.w, client.h);

    std::map<int, QWidget*> controls;
    QWidget* previous = nullptr;
    for (const ControlTemplate& control : dialogTemplate.controls) {
        QWidget* widget = makeControl(control, dialog);
        const PixelRect r = toPixels(control.rect, units);
        widget->setGeometry(r.x, r.y, r.w, r.h);
        if (const auto* label = qobject_cast<QLabel*>(widget); label && !label->pixmap().isNull()) {
            // An icon static takes the size of its icon.
            widget->resize(label->pixmap().deviceIndependentSize().toSize());
        }
        widget->setFocusPolicy((control.style & style::tabStop) != 0 ? Qt::StrongFocus
                                                                     : Qt::NoFocus);
        widget->setProperty("controlId", control.id);
        if (previous != nullptr && widget->focusPolicy() != Qt::NoFocus) {
            QWidget::setTabOrder(previous, widget);
        }
        if (widget->focusPolicy() != Qt::NoFocus) {
            previous = widget;
        }
        if (control.id != noControlId) {
            controls[control.id] = widget;
        }
    }
    return controls;
}

int controlId(const QWidget& control) {
    const QVariant id = control.property("controlId");
    return id.isValid() ? id.toInt() : noControlId;
}
