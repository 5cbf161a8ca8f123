#pragma once

#include "TestTiff.h"
#include "WindowFixture.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>

namespace tessary {
class Tessary;
}

namespace tessary::testing {

// Files whose pages tell which page they are: the page labelled L has a grey pattern and
// a horizontal resolution of its own, both read back with the engine.
class LabelledPages
{
public:
    static TestTiff::Page page(int label);
    static QList<TestTiff::Page> pages(const QList<int>& labels);
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

// The main window on scripted services, with a folder of scans listed as sources.
class OperationsFixture : public WindowFixture
{
public:
    bool reset();
    // Starts the window with prompting and the transfer mode as stored settings say.
    std::unique_ptr<Tessary> start(bool prompt = false, bool move = false);

    QString scan(const QString& name) const;
    // Picks name in the file list and shows its page.
    bool showSource(Tessary& window, const QString& name, int page = 1);
    // Opens name as destination and shows its page.
    void showDestination(Tessary& window, const QString& name, int page = 1);
    // Selects the page mode as a click of the user's.
    static void chooseMode(Tessary& window, int index);

    QString scans;
};

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

} // namespace tessary::testing
