#include "HelpPopup.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

namespace tessary {

namespace {

constexpr quint32 SystemColour = 0xFFFFFFFF;
constexpr int DefaultMargin = 8;

QColor colourOf(quint32 value)
{
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

QFont fontOf(const QString& description, const QFont& base)
{
    QFont font = base;
    const QStringList parts = description.split(QLatin1Char(','));
    if (!parts.value(0).trimmed().isEmpty())
        font.setFamily(parts.value(0).trimmed());
    bool ok = false;
    const double size = parts.value(1).trimmed().toDouble(&ok);
    if (ok && size > 0)
        font.setPointSizeF(size);
    const QString styles = parts.value(3).toLower();
    font.setBold(styles.contains(QLatin1String("bold")));
    font.setItalic(styles.contains(QLatin1String("italic")));
    font.setUnderline(styles.contains(QLatin1String("underline")));
    return font;
}

} // namespace

HelpPopup::HelpPopup(const QString& text, const QString& font, quint32 foreground,
                     quint32 background, int margin, QWidget* owner)
    : QFrame(owner, Qt::Popup)
    , m_label(new QLabel(text, this))
{
    setObjectName(QStringLiteral("helpPopup"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFrameShape(QFrame::Box);
    m_label->setTextFormat(Qt::PlainText);
    m_label->setWordWrap(true);
    m_label->setFont(fontOf(font, m_label->font()));

    QPalette colours = palette();
    QColor textColour = colours.color(QPalette::ToolTipText);
    QColor back = colours.color(QPalette::ToolTipBase);
    // Text in the colour of its background could not be read: such a pair falls back to
    // the system's colours.
    if (foreground != background) {
        if (foreground != SystemColour)
            textColour = colourOf(foreground);
        if (background != SystemColour)
            back = colourOf(background);
    }
    colours.setColor(QPalette::Window, back);
    colours.setColor(QPalette::WindowText, textColour);
    setPalette(colours);
    setAutoFillBackground(true);

    auto* layout = new QVBoxLayout(this);
    const int m = margin < 0 ? DefaultMargin : margin;
    layout->setContentsMargins(m, m, m, m);
    layout->addWidget(m_label);
    setMaximumWidth(400);
}

QString HelpPopup::text() const
{
    return m_label->text();
}

void HelpPopup::showAt(QPoint position)
{
    adjustSize();
    QRect area(position, size());
    if (const QScreen* screen = QGuiApplication::screenAt(position)) {
        const QRect available = screen->availableGeometry();
        area.moveRight(qMin(area.right(), available.right()));
        area.moveBottom(qMin(area.bottom(), available.bottom()));
        area.moveLeft(qMax(area.left(), available.left()));
        area.moveTop(qMax(area.top(), available.top()));
    }
    move(area.topLeft());
    show();
}

void HelpPopup::mousePressEvent(QMouseEvent*)
{
    close();
}

void HelpPopup::keyPressEvent(QKeyEvent*)
{
    close();
}

} // namespace tessary
