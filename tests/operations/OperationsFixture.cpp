#include "OperationsFixture.h"

#include "EngineCall.h"
#include "FileListBox.h"
#include "ImagingEdit.h"
#include "PageInfo.h"
#include "Tessary.h"
#include "TiffDocument.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
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

} // namespace

TestTiff::Page LabelledPages::page(int label)
{
    TestTiff::Page page;
    page.width = pageWidth;
    page.height = heightOf(label);
    page.pixel = [label](std::uint32_t x, std::uint32_t y) {
        return level(label, x, y);
    };
    page.xDpi = 100 + std::uint32_t(label);
    page.yDpi = 200;
    return page;
}

QList<TestTiff::Page> LabelledPages::pages(const QList<int>& labels)
{
    QList<TestTiff::Page> made;
    for (const int label : labels)
        made.append(page(label));
    return made;
}

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
    // Walk the page chain to the page's directory and point its data past the end.
    std::uint32_t directory = qFromLittleEndian<std::uint32_t>(bytes.constData() + 4);
    for (int number = 1; number < damaged; ++number) {
        const auto entries = qFromLittleEndian<std::uint16_t>(bytes.constData() + directory);
        directory =
            qFromLittleEndian<std::uint32_t>(bytes.constData() + directory + 2 + 12 * entries);
    }
    const auto entries = qFromLittleEndian<std::uint16_t>(bytes.constData() + directory);
    for (std::uint16_t i = 0; i < entries; ++i) {
        char* entry = bytes.data() + directory + 2 + 12 * i;
        if (qFromLittleEndian<std::uint16_t>(entry) == 273)
            qToLittleEndian<std::uint32_t>(std::uint32_t(bytes.size() + 4096), entry + 8);
    }
    return bytes;
}

bool OperationsFixture::reset()
{
    if (!WindowFixture::reset())
        return false;
    scans = folder(QStringLiteral("scans"));
    settings->write(SettingsStore::SrcDir, scans);
    return true;
}

std::unique_ptr<Tessary> OperationsFixture::start(bool prompt, bool move)
{
    settings->write(SettingsStore::PromptActions,
                    prompt ? QStringLiteral("Yes") : QStringLiteral("No"));
    settings->write(SettingsStore::DefaultMode,
                    move ? QStringLiteral("Move") : QStringLiteral("Copy"));
    return WindowFixture::start();
}

QString OperationsFixture::scan(const QString& name) const
{
    return scans + QDir::separator() + name;
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

void OperationsFixture::chooseMode(Tessary& window, int index)
{
    window.optMode(index)->click();
}

} // namespace tessary::testing
