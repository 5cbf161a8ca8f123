#pragma once

#include "WindowFixture.h"

#include <QApplication>
#include <QTimer>
#include <functional>

namespace tessary::testing {

// Files whose pages tell which page they are: the page labelled L is of grey level L, read
// back with the engine.
bool writeLabelled(const QString& path, const QList<int>& labels);
// The labels first to last.
QList<int> labels(int first, int last);
// The labels of the pages of path; empty when path cannot be read.
QList<int> labelsOf(const QString& path);

// The main window on scripted services, with the folder scans listed as sources:
// source.tif of the pages labelled 1 to 12 and target.tif of the pages 21 to 26.
class OperationsFixture : public WindowFixture
{
public:
    bool reset();
    // Starts the window with prompting and the transfer mode as stored settings say.
    std::unique_ptr<Tessary> start(bool prompt = false, bool move = false);
    // Starts the window, shows source.tif at sourcePage and target.tif at destinationPage
    // (0: not opened) and selects the page mode (0: none). A source not shown fails the
    // test.
    std::unique_ptr<Tessary> open(bool prompt, bool move, int sourcePage, int destinationPage,
                                  int mode);
    // Presses the transfer button or, given a range ("from,to"), the range button, typing
    // the range into the dialog; proposed says what the dialog proposed, leftOpen whether it
    // stayed open. Returns the number of range dialogs shown.
    static int press(Tessary& window, const QString& range = {}, bool* leftOpen = nullptr,
                     QString* proposed = nullptr);
    // Writes source.tif with its page 4's data past the end of the file.
    bool damageSource() const;
    // Keeps the bytes of source.tif and target.tif, for changed().
    void keep() { m_kept = {bytesOf(source), bytesOf(target)}; }
    // The names of the files kept that changed since, "" when none did.
    QString changed() const;

    // Picks name in the file list as source, or opens it as destination, and shows its
    // page, in the pane and its page box; false when the page is not shown.
    bool show(Tessary& window, bool source, const QString& name, int page);
    // Selects the page mode as a click of the user's.
    static void chooseMode(Tessary& window, int index) { window.optMode(index)->click(); }
    // What a pane shows, as pane() spells it, and the page its viewer shows.
    static QStringList seen(const Tessary& window, bool source);
    // seen() of a pane showing path, of pages pages, at page; of the empty pane for "".
    static QStringList showing(bool source, const QString& path, qsizetype pages, int page);

    QString source;
    QString target;

private:
    QList<QByteArray> m_kept;
};

using Box = ScriptedMessageBoxService::Box;
// The box that tells text under the program's title, with OK alone; none for "".
QList<Box> told(const QString& text, MsgIcon icon = MsgIcon::None);
// The question text under the program's title, Yes and No.
Box asked(const QString& text);

// Runs trigger and acts on the modal dialogs of type Dialog it opens: the first one shown
// gets the action, run inside the dialog's own loop (it must close the dialog); any other is
// cancelled. Returns how many were shown.
template <typename Dialog>
int drive(const std::function<void()>& trigger, const std::function<void(Dialog&)>& action = {})
{
    int shown = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (!dialog || dialog->property("driven").toBool())
            return;
        dialog->setProperty("driven", true);
        if (++shown == 1 && action)
            action(*dialog);
        else
            dialog->reject();
    });
    timer.start(5);
    trigger();
    return shown;
}

// Types "first,second" into the dialog's two boxes and presses Enter, which acts as OK; a
// dialog left open (said in leftOpen) is closed with Escape, which acts as Cancel.
template <typename Dialog>
void typeInto(Dialog& dialog, QLineEdit* first, QLineEdit* second, const QString& texts,
              bool* leftOpen = nullptr)
{
    first->setText(texts.section(QLatin1Char(','), 0, 0));
    second->setText(texts.section(QLatin1Char(','), 1, 1));
    // The user tabs from the button with the focus into the boxes.
    while (!dialog.focusWidget() || !dialog.focusWidget()->inherits("QLineEdit"))
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Tab);
    QTest::keyClick(dialog.focusWidget(), Qt::Key_Return);
    if (leftOpen)
        *leftOpen = dialog.isVisible();
    if (dialog.isVisible())
        QTest::keyClick(first, Qt::Key_Escape);
    if (dialog.isVisible()) {
        QTest::qFail("Escape leaves the dialog open", __FILE__, __LINE__);
        dialog.cmdCancel->click();
    }
}

} // namespace tessary::testing
