#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace tessary {

class MessageBoxService;

// Where one user event's handler ends. A failure that the handler's routines leave to the
// event (a component's error, an engine's refusal, a lack of memory) is shown in a message
// box over owner, and the program goes on with the next event.
class EventBoundary
{
public:
    static void run(MessageBoxService& boxes, QWidget* owner, const std::function<void()>& handler);

    // The sentence shown for a failure nobody foresaw.
    static inline const QString unexpectedText =
        QStringLiteral("The action could not be finished: %1");
    static inline const QString memoryText =
        QStringLiteral("There is not enough memory to finish the action.");
};

} // namespace tessary
