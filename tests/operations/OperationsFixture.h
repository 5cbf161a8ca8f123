#pragma once

#include "ImagingEdit.h"
#include "Tessary.h"
#include "TestTiff.h"
#include "WindowFixture.h"
#include "mdlFunctions.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

namespace tessary {
class frmRange;
} // namespace tessary

namespace tessary::testing {

// Files whose pages tell which page they are: the page labelled L has a grey pattern and
// a horizontal resolution of its own, both read back with the engine.
class LabelledPages
{
public:
    static bool write(const QString& path, const QList<int>& labels);
    // Labels first to last.
    static QList<int> run(int first, int last);
    // The labels of the pages of path, each page compared pixel for pixel and by its
    // resolution with the labelled page; -1 for a page that is none of them. Empty when
    // path cannot be read.
    static QList<int> of(const QString& path);
    // A labelled file whose page `damaged` (from 1) has its data past the end of the file.
    static QByteArray withDamagedPage(const QList<int>& labels, int damaged);
};

// The main window on scripted services, with a folder of scans listed as sources:
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
    // the range into the dialog; leftOpen says whether the dialog stayed open. Returns the
    // number of range dialogs shown.
    static int press(Tessary& window, const QString& range = {}, bool* leftOpen = nullptr);
    // Keeps the bytes of source.tif and target.tif, for changed().
    void keep() { m_kept = {bytesOf(source), bytesOf(target)}; }
    // The names of the files kept that changed since, "" when none did.
    QString changed() const;

    QString scan(const QString& name) const { return scans + QDir::separator() + name; }
    // Picks name in the file list and shows its page.
    bool showSource(Tessary& window, const QString& name, int page = 1);
    // Opens name as destination and shows its page.
    void showDestination(Tessary& window, const QString& name, int page = 1);
    // Selects the page mode as a click of the user's.
    static void chooseMode(Tessary& window, int index) { window.optMode(index)->click(); }
    static int checkedMode(const Tessary& window);

    QString scans;
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

// Acts on the modal dialogs of type Dialog the program opens: each one shown gets the next
// action, run inside the dialog's own loop. The action must close the dialog.
template <typename Dialog>
class DialogDriver
{
public:
    using Action = std::function<void(Dialog&)>;

    explicit DialogDriver(QList<Action> actions)
        : m_actions(std::move(actions))
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
            if (!dialog || dialog->property("driven").toBool())
                return;
            dialog->setProperty("driven", true);
            ++m_shown;
            if (!m_actions.isEmpty())
                m_actions.takeFirst()(*dialog);
            else
                dialog->reject();
        });
        m_timer.start(5);
    }

    // How many dialogs were shown.
    int shown() const { return m_shown; }

private:
    QList<Action> m_actions;
    QTimer m_timer;
    int m_shown = 0;
};

// Types "from,to" into the range dialog and presses OK; a dialog left open (said in
// leftOpen) is cancelled.
DialogDriver<frmRange>::Action typeRange(const QString& range, bool* leftOpen = nullptr);

} // namespace tessary::testing
