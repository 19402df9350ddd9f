#include "shell/dialogs/message_dialog.h"

#include <QAbstractButton>

namespace rg {

namespace {

QMessageBox::Icon qt_icon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Error:
            return QMessageBox::Critical;
        case MessageIcon::Warning:
            return QMessageBox::Warning;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

struct ButtonSet {
    QMessageBox::StandardButtons all;
    QMessageBox::StandardButton first;
    QMessageBox::StandardButton escape;
};

ButtonSet button_set(MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::Ok:
            return {QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Ok};
        case MessageButtons::OkCancel:
            return {QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok, QMessageBox::Cancel};
        case MessageButtons::YesNo:
            return {QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, QMessageBox::No};
        case MessageButtons::YesNoCancel:
            return {QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes,
                    QMessageBox::Cancel};
    }
    return {QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Ok};
}

MessageAnswer answer_of(QMessageBox::StandardButton button) {
    switch (button) {
        case QMessageBox::Ok:
            return MessageAnswer::Ok;
        case QMessageBox::Yes:
            return MessageAnswer::Yes;
        case QMessageBox::No:
            return MessageAnswer::No;
        default:
            return MessageAnswer::Cancel;
    }
}

}  // namespace

QString display_text(std::string_view text) {
    QString shown = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}

MessageDialog::MessageDialog(std::string_view text, std::string_view caption,
                             MessageButtons buttons, MessageIcon icon, QWidget* parent)
    : QMessageBox(parent), buttons_(buttons) {
    const ButtonSet set = button_set(buttons);
    setWindowTitle(display_text(caption));
    setTextFormat(Qt::PlainText);
    setText(display_text(text));
    setIcon(qt_icon(icon));
    setStandardButtons(set.all);
    setDefaultButton(set.first);
    setEscapeButton(set.escape);
}

MessageAnswer MessageDialog::ask() {
    exec();
    QAbstractButton* clicked = clickedButton();
    const QMessageBox::StandardButton button =
        clicked != nullptr ? standardButton(clicked) : button_set(buttons_).escape;
    return answer_of(button);
}

}  // namespace rg
