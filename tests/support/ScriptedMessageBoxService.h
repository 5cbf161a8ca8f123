#pragma once

#include "MessageBoxService.h"

#include <QList>
#include <QStringList>

namespace tessary {

// A message-box service for tests: records every box and answers from a script.
// A box shown when the script is empty is answered with its first button (OK or Yes)
// and counted in unexpected(), so a test can tell an unplanned box from a planned one.
class ScriptedMessageBoxService : public MessageBoxService
{
public:
    struct Box
    {
        QString text;
        QString caption;
        MsgButtons buttons;
        MsgIcon icon;
        bool operator==(const Box&) const = default;
    };

    int show(QWidget*, const QString& text, const QString& caption, MsgButtons buttons,
             MsgIcon icon) override
    {
        m_boxes.append({text, caption, buttons, icon});
        if (!m_script.isEmpty())
            return m_script.takeFirst();
        ++m_unexpected;
        return buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel ? MsgYes : MsgOk;
    }

    // Queues the answer for the next box.
    void answer(int button) { m_script.append(button); }
    void clear()
    {
        m_script.clear();
        m_boxes.clear();
        m_unexpected = 0;
    }

    const QList<Box>& boxes() const { return m_boxes; }
    QStringList texts() const
    {
        QStringList result;
        for (const Box& box : m_boxes)
            result.append(box.text);
        return result;
    }
    int unexpected() const { return m_unexpected; }

private:
    QList<int> m_script;
    QList<Box> m_boxes;
    int m_unexpected = 0;
};

// Names a box in the messages of a failed QCOMPARE.
inline char* toString(const ScriptedMessageBoxService::Box& box)
{
    return qstrdup(QStringLiteral("\"%1\" (%2, buttons %3, icon %4)")
                       .arg(box.text, box.caption)
                       .arg(int(box.buttons))
                       .arg(int(box.icon))
                       .toUtf8()
                       .constData());
}

} // namespace tessary
