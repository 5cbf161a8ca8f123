#include "QtMessageBoxService.h"

#include <QApplication>
#include <QMessageBox>

namespace tessary {

namespace {

QMessageBox::Icon toQtIcon(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::Critical:
        return QMessageBox::Critical;
    case MsgIcon::Question:
        return QMessageBox::Question;
    case MsgIcon::Exclamation:
        return QMessageBox::Warning;
    case MsgIcon::Information:
        return QMessageBox::Information;
    case MsgIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

int QtMessageBoxService::show(QWidget* owner, const QString& text, const QString& caption,
                              MsgButtons buttons, MsgIcon icon)
{
    QMessageBox box(toQtIcon(icon), caption, QString(text).replace(QLatin1String("\r\n"), "\n"),
                    QMessageBox::NoButton, owner ? owner : QApplication::activeWindow());
    switch (buttons) {
    case MsgButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MsgButtons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case MsgButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    case MsgButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    }
    box.setWindowModality(Qt::ApplicationModal);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return MsgYes;
    case QMessageBox::No:
        return MsgNo;
    case QMessageBox::Cancel:
        return MsgCancel;
    default:
        break;
    }
    // A box closed by its close button counts as its cancelling answer.
    if (buttons == MsgButtons::YesNo)
        return box.clickedButton() ? MsgYes : MsgNo;
    if (buttons == MsgButtons::OkCancel || buttons == MsgButtons::YesNoCancel)
        return box.clickedButton() ? MsgOk : MsgCancel;
    return MsgOk;
}

} // namespace tessary
