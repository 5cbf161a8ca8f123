#include "EventBoundary.h"

#include "ImagingError.h"
#include "MessageBoxService.h"
#include "Tessary.h"

#include <new>

namespace tessary {

void EventBoundary::run(MessageBoxService& boxes, QWidget* owner,
                        const std::function<void()>& handler)
{
    QString text;
    try {
        handler();
        return;
    } catch (const ImagingError& error) {
        // The components' errors carry a sentence for the user.
        text = error.message;
    } catch (const std::bad_alloc&) {
        text = memoryText;
    } catch (const std::exception& error) {
        text = unexpectedText.arg(QString::fromLocal8Bit(error.what()));
    }
    boxes.show(owner, text, Tessary::AppTitle, MsgButtons::Ok, MsgIcon::Exclamation);
}

} // namespace tessary
