// tessary-view FILE [PAGE]: shows FILE at PAGE (1 when left out) in a window of its own.
#include "ViewerWindow.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessary Viewer"));
    const QStringList arguments = QApplication::arguments().mid(1);
    if (arguments.isEmpty() || arguments.size() > 2) {
        std::fprintf(stderr, "usage: tessary-view FILE [PAGE]\n");
        return 2;
    }
    bool ok = true;
    const int page = arguments.size() == 2 ? arguments.at(1).trimmed().toInt(&ok) : 1;

    tessary::ViewerWindow window;
    window.openFile(arguments.at(0), ok ? page : 1);
    window.show();
    // Opened from the main window, it comes to the front.
    window.raise();
    window.activateWindow();
    return QApplication::exec();
}
