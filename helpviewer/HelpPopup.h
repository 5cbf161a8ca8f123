#pragma once

#include <QFrame>

class QLabel;

namespace tessary {

// A text pop-up: plain text in a small frame at a point on the screen, closed by the next
// click or key press.
class HelpPopup : public QFrame
{
    Q_OBJECT

public:
    // font: "face, size, charset, styles" with the styles Bold, Italic and Underline;
    // colours: 0x00BBGGRR values, 0xFFFFFFFF for the system's colour; margin < 0 for the
    // default margin.
    HelpPopup(const QString& text, const QString& font, quint32 foreground, quint32 background,
              int margin, QWidget* owner = nullptr);

    QString text() const;
    void showAt(QPoint position);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLabel* m_label;
};

} // namespace tessary
