#include "OperationsFixture.h"

#include "EngineCall.h"
#include "TestTiff.h"
#include "TiffDocument.h"
#include "frmRange.h"

#include <QtEndian>
#include <numeric>

namespace tessary::testing {

namespace {

QList<TestTiff::Page> pages(const QList<int>& labels)
{
    QList<TestTiff::Page> made;
    for (const int label : labels)
        made.append(TestTiff::plain(24, 16, std::uint8_t(label)));
    return made;
}

} // namespace

bool writeLabelled(const QString& path, const QList<int>& labels)
{
    return TestTiff::write(path, pages(labels));
}

QList<int> labels(int first, int last)
{
    QList<int> labels(last - first + 1);
    std::iota(labels.begin(), labels.end(), first);
    return labels;
}

QList<int> labelsOf(const QString& path)
{
    QList<int> labels;
    try {
        const auto document = TiffDocument::open(EngineCall::toPath(path));
        for (std::int32_t number = 1; number <= document->pageCount(); ++number)
            labels.append(document->decode(number).pixels.at(0));
    } catch (const std::exception&) {
        return {};
    }
    return labels;
}

bool OperationsFixture::damageSource() const
{
    // The fourth page's strip offset (tag 273, a LONG, one value).
    QByteArray bytes = TestTiff::bytes(pages(labels(1, 12)));
    qsizetype entry = -1;
    for (int number = 1; number <= 4; ++number)
        entry = bytes.indexOf(QByteArray("\x11\x01\x04\x00\x01\x00\x00\x00", 8), entry + 1);
    qToLittleEndian<std::uint32_t>(std::uint32_t(bytes.size() + 4096), bytes.data() + entry + 8);
    return writeBytes(source, bytes);
}

bool OperationsFixture::reset()
{
    if (!WindowFixture::reset(true))
        return false;
    source = scan(QStringLiteral("source.tif"));
    target = scan(QStringLiteral("target.tif"));
    return writeLabelled(source, labels(1, 12)) && writeLabelled(target, labels(21, 26));
}

std::unique_ptr<Tessary> OperationsFixture::start(bool prompt, bool move)
{
    settings->write(SettingsStore::PromptActions, QString::fromLatin1(prompt ? "Yes" : "No"));
    settings->write(SettingsStore::DefaultMode, QString::fromLatin1(move ? "Move" : "Copy"));
    return WindowFixture::start();
}

std::unique_ptr<Tessary> OperationsFixture::open(bool prompt, bool move, int sourcePage,
                                                 int destinationPage, int mode)
{
    auto window = start(prompt, move);
    if (sourcePage > 0)
        QTest::qVerify(show(*window, true, QStringLiteral("source.tif"), sourcePage), "show",
                       "the source is shown", __FILE__, __LINE__);
    if (destinationPage > 0)
        show(*window, false, QStringLiteral("target.tif"), destinationPage);
    if (mode > 0)
        chooseMode(*window, mode);
    return window;
}

int OperationsFixture::press(Tessary& window, const QString& range, bool* leftOpen,
                             QString* proposed)
{
    return drive<frmRange>([&] { (range.isEmpty() ? window.cmdSwap : window.cmdRange)->click(); },
                           [&](frmRange& dialog) {
                               if (proposed)
                                   *proposed = dialog.txtFrom->text() + u',' + dialog.txtTo->text();
                               typeInto(dialog, dialog.txtFrom, dialog.txtTo, range, leftOpen);
                           });
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

bool OperationsFixture::show(Tessary& window, bool source, const QString& name, int page)
{
    if (!source)
        openDestination(window, scan(name));
    else if (!pick(window, name) || window.imgSrc->image() != scan(name))
        return false;
    ImagingEdit& viewer = source ? *window.imgSrc : *window.imgDes;
    viewer.setPage(page);
    viewer.display();
    (source ? window.txtPageSrc : window.txtPageDes)->setText(QString::number(page));
    return viewer.page() == page;
}

QStringList OperationsFixture::seen(const Tessary& window, bool source)
{
    return pane(window, source) << QString::number(
               (source ? window.imgSrc : window.imgDes)->page());
}

QStringList OperationsFixture::showing(bool source, const QString& path, qsizetype pages, int page)
{
    const QString name = QString::fromLatin1(source ? "Source Image" : "Destination Image");
    if (path.isEmpty())
        return {path, name, QString(), QStringLiteral("0")};
    const QString number = QString::number(page);
    return {
        path,
        QStringLiteral("%1 - %2 Page(s)   %3").arg(name).arg(pages).arg(QFileInfo(path).fileName()),
        number, number};
}

QList<Box> told(const QString& text, MsgIcon icon)
{
    return text.isEmpty() ? QList<Box>()
                          : QList<Box>{{text, Tessary::AppTitle, MsgButtons::Ok, icon}};
}

Box asked(const QString& text)
{
    return {text, Tessary::AppTitle, MsgButtons::YesNo, MsgIcon::None};
}

} // namespace tessary::testing
