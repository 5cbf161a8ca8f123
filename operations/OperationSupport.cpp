#include "OperationSupport.h"

#include "ImagingEdit.h"
#include "Tessary.h"

#include <QApplication>

namespace tessary::operations {

QWidget* boxOwner(Tessary& window)
{
    QWidget* dialog = QApplication::activeModalWidget();
    return dialog ? dialog : &window;
}

void tell(Tessary& window, const QString& text, MsgIcon icon)
{
    window.messageBoxes().show(boxOwner(window), text, Tessary::AppTitle, MsgButtons::Ok, icon);
}

int ask(Tessary& window, const QString& text)
{
    return window.messageBoxes().show(boxOwner(window), text, Tessary::AppTitle, MsgButtons::YesNo);
}

QString pageText(const ImagingEdit& viewer)
{
    return viewer.image().isEmpty() ? QString() : QString::number(viewer.page());
}

} // namespace tessary::operations
