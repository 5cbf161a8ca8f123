#include "ScriptedMessageBoxService.h"

#include <QStringList>

namespace tessary {

int ScriptedMessageBoxService::show(QWidget*, const QString& text, const QString& caption,
                                    MsgButtons buttons, MsgIcon icon)
{
    m_boxes.append({text, caption, buttons, icon});
    if (!m_script.isEmpty())
        return m_script.takeFirst();
    ++m_unexpected;
    return buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel ? MsgYes : MsgOk;
}

void ScriptedMessageBoxService::clear()
{
    m_script.clear();
    m_boxes.clear();
    m_unexpected = 0;
}

QStringList ScriptedMessageBoxService::texts() const
{
    QStringList result;
    for (const Box& box : m_boxes)
        result.append(box.text);
    return result;
}

} // namespace tessary
