#pragma once

#include <QColor>
#include <QFont>
#include <QRect>

class QWidget;

namespace tessary {

// The dialogs' layouts are given in twips (1/1440 inch; 15 to a pixel at 96 dots per inch,
// scaled by the screen's logical resolution) and their colours as 0x00BBGGRR values.
class FormLayout
{
public:
    FormLayout();

    QRect twips(int left, int top, int width, int height) const;
    // Places control at twips (left, top, width, height) in font and names it.
    void place(QWidget* control, const char* name, const QRect& where, const QFont& font) const;

    static QFont timesNewRoman(double points, bool bold);
    static QColor fromBgr(unsigned value);
    // The text colour and, when background is valid, the background of control.
    static void setColours(QWidget* control, const QColor& text, const QColor& background = {});

private:
    double m_pixelsPerTwip;
};

} // namespace tessary
