#include "OperationsFixture.h"

#include "EngineCall.h"
#include "FileListBox.h"
#include "PageInfo.h"
#include "TiffDocument.h"
#include "frmRange.h"

#include <QDir>
#include <QtEndian>
#include <cmath>

namespace tessary::testing {

namespace {

std::uint8_t level(int label, std::uint32_t x, std::uint32_t y)
{
    return std::uint8_t((label * 37 + int(x) + 2 * int(y)) & 0xff);
}

constexpr std::uint32_t pageWidth = 24;

std::uint32_t heightOf(int label)
{
    return 16 + std::uint32_t(label % 7);
}

QList<TestTiff::Page> pages(const QList<int>& labels)
{
    QList<TestTiff::Page> made;
    for (const int label : labels) {
        TestTiff::Page& page = made.emplace_back();
        page.width = pageWidth;
        page.height = heightOf(label);
        page.pixel = [label](std::uint32_t x, std::uint32_t y) {
            return level(label, x, y);
        };
        page.xDpi = 100 + std::uint32_t(label);
        page.yDpi = 200;
    }
    return made;
}

} // namespace

bool LabelledPages::write(const QString& path, const QList<int>& labels)
{
    return TestTiff::write(path, pages(labels));
}

QList<int> LabelledPages::run(int first, int last)
{
    QList<int> labels;
    for (int label = first; label <= last; ++label)
        labels.append(label);
    return labels;
}

QList<int> LabelledPages::of(const QString& path)
{
    QList<int> labels;
    try {
        const auto document = TiffDocument::open(EngineCall::toPath(path));
        for (std::int32_t number = 1; number <= document->pageCount(); ++number) {
            const PageImage image = document->decode(number);
            const PageInfo info = document->pageInfo(number);
            const int label = int(std::lround(info.xResolution)) - 100;
            bool same = image.format == PageImage::Format::Grey8 && image.width == pageWidth &&
                        image.height == heightOf(label) && info.yResolution == 200;
            for (std::uint32_t y = 0; same && y < image.height; ++y)
                for (std::uint32_t x = 0; same && x < image.width; ++x)
                    same = image.row(y)[x] == level(label, x, y);
            labels.append(same ? label : -1);
        }
    } catch (const std::exception&) {
        return {};
    }
    return labels;
}

QByteArray LabelledPages::withDamagedPage(const QList<int>& labels, int damaged)
{
    QByteArray bytes = TestTiff::bytes(pages(labels));
    const auto at = [&](std::uint32_t offset) {
        return bytes.data() + offset;
    };
    // Walk the page chain to the page's directory and point its data past the end: the
    // strip's offset is the sixth of the twelve entries TestTiff writes.
    std::uint32_t directory = qFromLittleEndian<std::uint32_t>(at(4));
    for (int number = 1; number < damaged; ++number)
        directory = qFromLittleEndian<std::uint32_t>(at(directory + 2 + 12 * 12));
    qToLittleEndian<std::uint32_t>(std::uint32_t(bytes.size() + 4096),
                                   at(directory + 2 + 12 * 5 + 8));
    return bytes;
}

bool OperationsFixture::reset()
{
    if (!WindowFixture::reset())
        return false;
    scans = folder(QStringLiteral("scans"));
    settings->write(SettingsStore::SrcDir, scans);
    source = scan(QStringLiteral("source.tif"));
    target = scan(QStringLiteral("target.tif"));
    return LabelledPages::write(source, LabelledPages::run(1, 12)) &&
           LabelledPages::write(target, LabelledPages::run(21, 26));
}

std::unique_ptr<Tessary> OperationsFixture::start(bool prompt, bool move)
{
    settings->write(SettingsStore::PromptActions,
                    prompt ? QStringLiteral("Yes") : QStringLiteral("No"));
    settings->write(SettingsStore::DefaultMode,
                    move ? QStringLiteral("Move") : QStringLiteral("Copy"));
    return WindowFixture::start();
}

std::unique_ptr<Tessary> OperationsFixture::open(bool prompt, bool move, int sourcePage,
                                                 int destinationPage, int mode)
{
    auto window = start(prompt, move);
    if (sourcePage > 0)
        QTest::qVerify(showSource(*window, QStringLiteral("source.tif"), sourcePage), "showSource",
                       "the source is shown", __FILE__, __LINE__);
    if (destinationPage > 0)
        showDestination(*window, QStringLiteral("target.tif"), destinationPage);
    if (mode > 0)
        chooseMode(*window, mode);
    return window;
}

int OperationsFixture::press(Tessary& window, const QString& range, bool* leftOpen)
{
    DialogDriver<frmRange> driver({typeRange(range, leftOpen)});
    (range.isEmpty() ? window.cmdSwap : window.cmdRange)->click();
    return driver.shown();
}

QString OperationsFixture::changed() const
{
    const QStringList files{source, target};
    QStringList names;
    for (int i = 0; i < 2; ++i)
        if (bytesOf(files[i]) != m_kept.value(i))
            names.append(QFileInfo(files[i]).fileName());
    return names.join(QLatin1Char(' '));
}

bool OperationsFixture::showSource(Tessary& window, const QString& name, int page)
{
    window.TiffFileList->refresh();
    if (!pick(window, name) || window.imgSrc->image() != scan(name))
        return false;
    window.imgSrc->setPage(page);
    window.imgSrc->display();
    return window.imgSrc->page() == page;
}

void OperationsFixture::showDestination(Tessary& window, const QString& name, int page)
{
    openDestination(window, scan(name));
    window.imgDes->setPage(page);
    window.imgDes->display();
}

int OperationsFixture::checkedMode(const Tessary& window)
{
    for (int index = 1; index <= 4; ++index)
        if (window.optMode(index)->isChecked())
            return index;
    return 0;
}

QList<Box> told(const QString& text, MsgIcon icon)
{
    if (text.isEmpty())
        return {};
    return {{text, Tessary::AppTitle, MsgButtons::Ok, icon}};
}

Box asked(const QString& text)
{
    return {text, Tessary::AppTitle, MsgButtons::YesNo, MsgIcon::None};
}

DialogDriver<frmRange>::Action typeRange(const QString& range, bool* leftOpen)
{
    return [=](frmRange& dialog) {
        dialog.txtFrom->setText(range.section(QLatin1Char(','), 0, 0));
        dialog.txtTo->setText(range.section(QLatin1Char(','), 1, 1));
        dialog.cmdOK->click();
        if (leftOpen)
            *leftOpen = dialog.isVisible();
        if (dialog.isVisible())
            dialog.cmdCancel->click();
    };
}

} // namespace tessary::testing
