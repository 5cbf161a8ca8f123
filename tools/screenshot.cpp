// Shows the main window as it is used: a multi-page scan loaded as the source from its
// folder in the file list, the file being built open as the destination. The pages are
// drawn here and written as TIFF files; the picture of the window is saved as a PNG file.
#ifdef Q_OS_WIN
#include "WindowsHelpPlatform.h"
#else
#include "PortableHelpPlatform.h"
#endif
#include "EngineCall.h"
#include "PageEngine.h"
#include "PrimaryScreenSize.h"
#include "ProcessLauncher.h"
#include "ProgramFolder.h"
#include "QtFileDialogService.h"
#include "QtFolderChooser.h"
#include "QtMessageBoxService.h"
#include "QtProgressService.h"
#include "SettingsStore.h"
#include "Tessary.h"
#include "mdlFunctions.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

namespace {

// A4 at 100 dots per inch.
constexpr int pageWidth = 827;
constexpr int pageHeight = 1169;
constexpr int dpi = 100;
constexpr int margin = 80;

const QString serif = QStringLiteral("Liberation Serif");
const QString sans = QStringLiteral("Liberation Sans");

QFont font(const QString& family, int pixels, bool bold = false)
{
    QFont made(family);
    made.setPixelSize(pixels);
    made.setBold(bold);
    return made;
}

// A sheet of paper as a scanner sees it: almost white.
QImage blankPage()
{
    QImage page(pageWidth, pageHeight, QImage::Format_RGB32);
    page.fill(QColor(250, 250, 248));
    return page;
}

// Text wrapped into the width between the margins from top; returns the height used.
int paragraph(QPainter& painter, int top, const QString& text, int indent = 0)
{
    const QRect box(margin + indent, top, pageWidth - 2 * margin - indent, pageHeight);
    const QRect used = painter.boundingRect(box, Qt::TextWordWrap, text);
    painter.drawText(box, Qt::TextWordWrap, text);
    return used.height();
}

void signature(QPainter& painter, QPoint at)
{
    QPainterPath stroke(at);
    stroke.cubicTo(at + QPoint(20, -40), at + QPoint(35, 25), at + QPoint(55, -5));
    stroke.cubicTo(at + QPoint(70, -30), at + QPoint(80, 15), at + QPoint(100, -10));
    stroke.cubicTo(at + QPoint(115, -25), at + QPoint(125, 10), at + QPoint(170, -15));
    painter.setPen(QPen(QColor(40, 40, 70), 2.5));
    painter.drawPath(stroke);
    painter.setPen(Qt::black);
}

void footer(QPainter& painter, const QString& text)
{
    painter.setFont(font(sans, 12));
    painter.setPen(QColor(110, 110, 110));
    painter.drawText(QRect(margin, pageHeight - 70, pageWidth - 2 * margin, 20), Qt::AlignCenter,
                     text);
    painter.setPen(Qt::black);
}

// The letterhead of the tax office, with the address and the date below it.
int letterhead(QPainter& painter)
{
    painter.fillRect(QRect(margin, 70, 64, 64), QColor(30, 50, 90));
    painter.setPen(Qt::white);
    painter.setFont(font(serif, 46, true));
    painter.drawText(QRect(margin, 70, 64, 64), Qt::AlignCenter, QStringLiteral("N"));
    painter.setPen(Qt::black);
    painter.setFont(font(serif, 32, true));
    painter.drawText(margin + 84, 104, QStringLiteral("Northfield Tax Office"));
    painter.setFont(font(sans, 13));
    painter.setPen(QColor(90, 90, 90));
    painter.drawText(margin + 86, 128,
                     QStringLiteral("Revenue Service  ·  14 Market Street  ·  Northfield 3012"));
    painter.setPen(QPen(QColor(30, 50, 90), 2));
    painter.drawLine(margin, 156, pageWidth - margin, 156);
    painter.setPen(Qt::black);

    painter.setFont(font(serif, 17));
    painter.drawText(QRect(margin, 200, 300, 90), 0,
                     QStringLiteral("Ms Anna Berger\n27 Linden Avenue\nSouthbridge 4021"));
    painter.drawText(QRect(pageWidth - margin - 260, 200, 260, 90), Qt::AlignRight,
                     QStringLiteral("Reference 2024/0815-B\n12 March 2025"));
    return 330;
}

QImage letterFirstPage()
{
    QImage page = blankPage();
    QPainter painter(&page);
    painter.setRenderHint(QPainter::Antialiasing);
    int top = letterhead(painter);
    painter.setFont(font(serif, 20, true));
    top +=
        paragraph(painter, top, QStringLiteral("Income tax assessment 2024: documents requested"));
    painter.setFont(font(serif, 18));
    top += 24;
    top += paragraph(painter, top, QStringLiteral("Dear Ms Berger,")) + 14;
    const QStringList body = {
        QStringLiteral("Thank you for your return for the year 2024, which we received on 3 "
                       "February. Before we can complete the assessment we need a few documents "
                       "that support the expenses you have claimed."),
        QStringLiteral("Please send us copies of the invoices for the repairs to your rented "
                       "flat, the statement of your pension fund and the receipts for the "
                       "donations listed in section 7. One file holding all of them, one page "
                       "after the other, is easiest for us to handle."),
        QStringLiteral("We ask you to send them within four weeks of the date of this letter. "
                       "If you need more time, a short message to the address above is enough."),
        QStringLiteral("Until the documents have reached us, the assessment is held over; no "
                       "interest is charged for this time. The enclosed list names each "
                       "document, and the reply form may be returned with them."),
    };
    for (const QString& text : body)
        top += paragraph(painter, top, text) + 14;
    top += 10;
    paragraph(painter, top, QStringLiteral("Yours sincerely,"));
    signature(painter, QPoint(margin + 10, top + 75));
    paragraph(painter, top + 100, QStringLiteral("J. Hollis\nTax Officer"));
    footer(painter, QStringLiteral("Page 1 of 3"));
    return page;
}

QImage letterFollowingPage(int number)
{
    QImage page = blankPage();
    QPainter painter(&page);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setFont(font(serif, 20, true));
    int top = 90;
    top += paragraph(painter, top,
                     number == 2 ? QStringLiteral("Documents to send")
                                 : QStringLiteral("Reply form")) +
           20;
    painter.setFont(font(serif, 17));
    const QStringList items = {
        QStringLiteral("Invoices for repairs and maintenance of the rented flat (section 4)"),
        QStringLiteral("Annual statement of the pension fund (section 5)"),
        QStringLiteral("Receipts for donations to registered charities (section 7)"),
        QStringLiteral("Proof of the costs of travel to work, where over 1,200 (section 9)"),
    };
    for (const QString& item : items) {
        painter.drawRect(QRect(margin, top + 4, 14, 14));
        top += paragraph(painter, top, item, 30) + 16;
    }
    top += 20;
    for (int line = 0; line < 6; ++line) {
        painter.setPen(QColor(150, 150, 150));
        painter.drawLine(margin, top + line * 40, pageWidth - margin, top + line * 40);
    }
    painter.setPen(Qt::black);
    footer(painter, QStringLiteral("Page %1 of 3").arg(number));
    return page;
}

QImage invoicePage()
{
    QImage page = blankPage();
    QPainter painter(&page);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setFont(font(sans, 28, true));
    painter.setPen(QColor(0, 90, 120));
    painter.drawText(margin, 110, QStringLiteral("Brightwater Plumbing"));
    painter.setFont(font(sans, 13));
    painter.setPen(QColor(90, 90, 90));
    painter.drawText(margin, 134, QStringLiteral("8 Quay Road  ·  Southbridge 4020"));
    painter.setPen(Qt::black);
    painter.setFont(font(sans, 40, true));
    painter.drawText(QRect(margin, 70, pageWidth - 2 * margin, 50), Qt::AlignRight,
                     QStringLiteral("INVOICE"));
    painter.setFont(font(sans, 15));
    painter.drawText(QRect(margin, 190, 300, 80), 0,
                     QStringLiteral("Anna Berger\n27 Linden Avenue\nSouthbridge 4021"));
    painter.drawText(QRect(pageWidth - margin - 260, 190, 260, 80), Qt::AlignRight,
                     QStringLiteral("No. 2024-0311\n11 March 2024"));

    const int columns[] = {margin, 470, 560, 660, pageWidth - margin};
    const QStringList heads = {QStringLiteral("Description"), QStringLiteral("Qty"),
                               QStringLiteral("Price"), QStringLiteral("Amount")};
    const QList<QStringList> rows = {
        {QStringLiteral("Replace kitchen mixer tap"), "1", "86.00", "86.00"},
        {QStringLiteral("Bathroom drain, clear and reseal"), "1", "64.50", "64.50"},
        {QStringLiteral("Radiator valves"), "4", "18.20", "72.80"},
        {QStringLiteral("Labour, hours"), "3.5", "42.00", "147.00"},
        {QStringLiteral("Call-out charge"), "1", "35.00", "35.00"},
    };
    constexpr int rowHeight = 38;
    int top = 320;
    painter.fillRect(QRect(margin, top, pageWidth - 2 * margin, rowHeight), QColor(225, 232, 236));
    const auto drawRow = [&](const QStringList& cells) {
        for (int i = 0; i < cells.size(); ++i)
            painter.drawText(
                QRect(columns[i] + 8, top, columns[i + 1] - columns[i] - 16, rowHeight),
                Qt::AlignVCenter | (i == 0 ? Qt::AlignLeft : Qt::AlignRight), cells[i]);
        top += rowHeight;
        painter.setPen(QColor(170, 170, 170));
        painter.drawLine(margin, top, pageWidth - margin, top);
        painter.setPen(Qt::black);
    };
    painter.setFont(font(sans, 15, true));
    drawRow(heads);
    painter.setFont(font(sans, 15));
    for (const QStringList& row : rows)
        drawRow(row);
    top += 10;
    drawRow({QString(), QString(), QStringLiteral("Net"), QStringLiteral("405.30")});
    drawRow({QString(), QString(), QStringLiteral("VAT 20%"), QStringLiteral("81.06")});
    painter.setFont(font(sans, 17, true));
    drawRow({QString(), QString(), QStringLiteral("Total"), QStringLiteral("486.36")});
    // The customer's stamp, put on when the invoice was paid.
    painter.save();
    painter.translate(pageWidth - 250, top + 190);
    painter.rotate(-12);
    painter.setPen(QPen(QColor(70, 70, 70), 4));
    painter.drawRoundedRect(QRect(-110, -45, 220, 90), 10, 10);
    painter.setFont(font(sans, 38, true));
    painter.drawText(QRect(-110, -45, 220, 60), Qt::AlignCenter, QStringLiteral("PAID"));
    painter.setFont(font(sans, 15, true));
    painter.drawText(QRect(-110, 8, 220, 30), Qt::AlignCenter, QStringLiteral("18 MAR 2024"));
    painter.restore();
    painter.setFont(font(sans, 14));
    paragraph(painter, top + 50,
              QStringLiteral("Please pay within 14 days to Brightwater Plumbing, account "
                             "40-21-77 0093 1182, quoting the invoice number. Thank you for "
                             "your custom."));
    return page;
}

// Writes pages as a grey TIFF file: each page through Qt's TIFF writer, then joined by the
// page engine as the program joins pages.
bool writePages(const QString& path, const QList<QImage>& images)
{
    QFile::remove(path);
    for (qsizetype i = 0; i < images.size(); ++i) {
        const QString single = i == 0 ? path : path + QStringLiteral(".page");
        QImage grey = images[i].convertToFormat(QImage::Format_Grayscale8);
        grey.setDotsPerMeterX(qRound(dpi / 0.0254));
        grey.setDotsPerMeterY(qRound(dpi / 0.0254));
        QImageWriter writer(single, "tiff");
        writer.setCompression(1); // LZW
        if (!writer.write(grey)) {
            std::fprintf(stderr, "tessary-screenshot: %s (Qt's TIFF image plugin is needed)\n",
                         qPrintable(writer.errorString()));
            return false;
        }
        if (i > 0) {
            try {
                tessary::PageEngine().appendPages(tessary::EngineCall::toPath(path),
                                                  tessary::EngineCall::toPath(single), 1, 1);
            } catch (const std::exception& error) {
                std::fprintf(stderr, "tessary-screenshot: %s\n", error.what());
                return false;
            }
            QFile::remove(single);
        }
    }
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    const bool strips = argc == 4 && QByteArray(argv[3]) == "--strips";
    if (argc != 3 && !strips) {
        std::fprintf(stderr, "usage: tessary-screenshot BLANK.TIF OUT.png [--strips]\n");
        return 2;
    }
    const QString blank = QString::fromLocal8Bit(argv[1]);
    const QString out = QString::fromLocal8Bit(argv[2]);

    QTemporaryDir work;
    const QDir root(work.path());
    for (const char* folder : {"program", "scans", "tax return"})
        root.mkpath(QString::fromLatin1(folder));
    QFile::copy(blank, root.filePath(QStringLiteral("program/blank.tif")));
    for (const char* name : {"contract-2024-signed.tif", "delivery-note-0815.tif",
                             "fax-from-archive.TIF", "invoice-2024-03.tif", "scan-0001.tif"})
        QFile::copy(blank, root.filePath(QStringLiteral("scans/") + QString::fromLatin1(name)));
    const QString source = QDir::toNativeSeparators(root.filePath("scans/letter-tax-office.tif"));
    const QString destination =
        QDir::toNativeSeparators(root.filePath("tax return/documents-2024.tif"));
    if (!writePages(source, {letterFirstPage(), letterFollowingPage(2), letterFollowingPage(3)}) ||
        !writePages(destination, {invoicePage(), letterFollowingPage(3)})) {
        std::fprintf(stderr, "tessary-screenshot: the pages could not be written\n");
        return 1;
    }

    // The program's own services, as main() passes them: nothing asks a question while the
    // picture is taken, and the settings and program folder are temporary.
    tessary::QtMessageBoxService messageBoxes;
    tessary::QtFileDialogService fileDialogs;
    tessary::QtFolderChooser folders;
    tessary::ProcessLauncher launcher;
    tessary::PrimaryScreenSize screen;
    const tessary::ProgramFolder programFolder(root.filePath(QStringLiteral("program")));
    tessary::SettingsStore settings(root.filePath(QStringLiteral("settings")),
                                    [] { return QStringLiteral("Tessary"); });
    // With --strips, the window as View > Page Strips shows it.
    if (strips)
        settings.write(tessary::SettingsStore::PageStrips, QStringLiteral("Yes"));
#ifdef Q_OS_WIN
    tessary::WindowsHelpPlatform help;
#else
    tessary::PortableHelpPlatform help(messageBoxes, root.filePath(QStringLiteral("help.ini")));
#endif
    tessary::QtProgressService progress;

    tessary::Tessary window({messageBoxes, fileDialogs, folders, launcher, screen, programFolder,
                             settings, help, progress});
    window.show();
    // As `tessary SOURCE DESTINATION` opens them, ready to append the source's pages.
    window.openFiles({source, destination});
    window.selectPageMode(tessary::mdlFunctions::ModeAppend);

    int status = 1;
    QTimer::singleShot(1500, &window, [&] {
        QPixmap shot = window.screen()->grabWindow(window.winId());
        if (shot.isNull())
            shot = window.grab();
        status = shot.save(out, "PNG") ? 0 : 1;
        window.close();
    });
    QApplication::exec();
    return status;
}
