#include "FormLayout.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace tessary {

namespace {

constexpr double twipsPerPixel = 15.0;
constexpr double designDpi = 96.0;

} // namespace

FormLayout::FormLayout()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    m_pixelsPerTwip =
        (screen ? screen->logicalDotsPerInchX() : designDpi) / designDpi / twipsPerPixel;
}

QRect FormLayout::twips(int left, int top, int width, int height) const
{
    const auto px = [this](int value) {
        return int(std::lround(value * m_pixelsPerTwip));
    };
    return QRect(px(left), px(top), px(width), px(height));
}

void FormLayout::place(QWidget* control, const char* name, const QRect& where,
                       const QFont& font) const
{
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(where);
    control->setFont(font);
}

QFont FormLayout::timesNewRoman(double points, bool bold)
{
    QFont font(QStringLiteral("Times New Roman"));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QColor FormLayout::fromBgr(unsigned value)
{
    return QColor(int(value & 0xff), int((value >> 8) & 0xff), int((value >> 16) & 0xff));
}

void FormLayout::setColours(QWidget* control, const QColor& text, const QColor& background)
{
    QPalette palette = control->palette();
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::ButtonText, text);
    if (background.isValid()) {
        palette.setColor(QPalette::Base, background);
        palette.setColor(QPalette::Window, background);
    }
    control->setPalette(palette);
}

} // namespace tessary
