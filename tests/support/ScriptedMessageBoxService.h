#pragma once

#include "MessageBoxService.h"

#include <QList>
#include <QString>

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
    };

    int show(QWidget* owner, const QString& text, const QString& caption, MsgButtons buttons,
             MsgIcon icon) override;

    // Queues the answer for the next box.
    void answer(int button) { m_script.append(button); }
    void clear();

    const QList<Box>& boxes() const { return m_boxes; }
    QStringList texts() const;
    int unexpected() const { return m_unexpected; }
    int pendingAnswers() const { return int(m_script.size()); }

private:
    QList<int> m_script;
    QList<Box> m_boxes;
    int m_unexpected = 0;
};

} // namespace tessary
