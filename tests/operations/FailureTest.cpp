#include "ImagingEdit.h"
#include "OperationsFixture.h"
#include "Tessary.h"
#include "frmRange.h"
#include "frmReorder.h"
#include "mdlFunctions.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <csignal>
#include <sys/resource.h>

using namespace tessary;
using namespace tessary::mdlFunctions;
using tessary::testing::DialogDriver;
using tessary::testing::LabelledPages;
using tessary::testing::OperationsFixture;

namespace {

// While it lives, no file of this process may grow beyond limit bytes: writes past it fail
// as on a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t limit)
    {
        m_signal = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_before);
        rlimit lowered = m_before;
        lowered.rlim_cur = limit;
        m_set = ::setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_before);
        std::signal(SIGXFSZ, m_signal);
    }
    bool set() const { return m_set; }

private:
    rlimit m_before{};
    void (*m_signal)(int) = nullptr;
    bool m_set = false;
};

bool makeReadOnly(const QString& path)
{
    return QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup |
                                           QFileDevice::ReadOther);
}

} // namespace

class FailureTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(f.reset());
        m_source = f.scan(QStringLiteral("source.tif"));
        m_target = f.scan(QStringLiteral("target.tif"));
        QVERIFY(LabelledPages::write(m_source, LabelledPages::run(1, 7)));
        QVERIFY(LabelledPages::write(m_target, LabelledPages::run(11, 15)));
    }

    void aFailedTransferChangesNeitherFileAndMovesNothing_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("named"); // the file the message names
        const QStringList faults{QStringLiteral("a damaged source page"),
                                 QStringLiteral("a read-only destination"),
                                 QStringLiteral("the destination changed since it was shown"),
                                 QStringLiteral("the source changed since it was shown"),
                                 QStringLiteral("no room for the file"),
                                 QStringLiteral("stopped in the progress dialog")};
        const QStringList named{QStringLiteral("source.tif"), QStringLiteral("target.tif"),
                                QStringLiteral("target.tif"), QStringLiteral("source.tif"),
                                QStringLiteral("target.tif"), QStringLiteral("target.tif")};
        const char* modes[] = {"", "Append", "Insert", "Replace"};
        for (int mode = ModeAppend; mode <= ModeReplace; ++mode)
            for (qsizetype i = 0; i < faults.size(); ++i)
                QTest::addRow("%s, %s", modes[mode], qPrintable(faults[i]))
                    << mode << faults[i] << named[i];
    }

    void aFailedTransferChangesNeitherFileAndMovesNothing()
    {
        QFETCH(int, mode);
        QFETCH(QString, fault);
        QFETCH(QString, named);
        if (fault == QLatin1String("a damaged source page"))
            QVERIFY(f.writeBytes(m_source,
                                 LabelledPages::withDamagedPage(LabelledPages::run(1, 7), 4)));
        const auto window = f.start(false, true);
        QVERIFY(f.showSource(*window, QStringLiteral("source.tif"), 4));
        f.showDestination(*window, QStringLiteral("target.tif"), 2);
        window->txtPageDes->setText(QStringLiteral("2"));
        OperationsFixture::chooseMode(*window, mode);

        std::optional<FileSizeLimit> limit;
        if (fault == QLatin1String("a read-only destination"))
            QVERIFY(makeReadOnly(m_target));
        else if (fault == QLatin1String("the destination changed since it was shown"))
            QVERIFY(LabelledPages::write(m_target, {31, 32, 33}));
        else if (fault == QLatin1String("the source changed since it was shown"))
            QVERIFY(LabelledPages::write(m_source, {41, 42, 43, 44}));
        else if (fault == QLatin1String("no room for the file")) {
            limit.emplace(rlim_t(QFileInfo(m_target).size() / 2));
            QVERIFY(limit->set());
        } else if (fault == QLatin1String("stopped in the progress dialog"))
            f.progress->stopAtReport(1);
        const QByteArray sourceBefore = f.bytesOf(m_source);
        const QByteArray targetBefore = f.bytesOf(m_target);
        f.boxes->answer(MsgOk);

        window->cmdSwap->click();
        limit.reset();
        QCOMPARE(f.bytesOf(m_source), sourceBefore);
        QCOMPARE(f.bytesOf(m_target), targetBefore);
        QCOMPARE(f.boxes->boxes().size(), 1);
        const ScriptedMessageBoxService::Box& box = f.boxes->boxes().first();
        QVERIFY2(box.text.contains(named), qPrintable(box.text));
        QCOMPARE(box.icon, MsgIcon::Exclamation);
        QCOMPARE(box.caption, Tessary::AppTitle);
        // The destination is shown again as it is on disk, at the page it showed.
        const int pages = LabelledPages::of(m_target).size();
        QCOMPARE(window->imgDes->image(), m_target);
        QCOMPARE(window->imgDes->pageCount(), pages);
        QCOMPARE(window->imgDes->page(), 2);
        QCOMPARE(window->txtPageDes->text(), QStringLiteral("2"));
        QCOMPARE(window->lblDestination->text(),
                 QStringLiteral("Destination Image - %1 Page(s)   target.tif").arg(pages));
        QVERIFY(!window->flags.SameFileRefused);
    }

    void aNewFileThatCannotBeMadeTakesNothingFromTheSource_data()
    {
        QTest::addColumn<bool>("range");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("named");
        QTest::newRow("one page, damaged") << false << "a damaged page"
                                           << "source.tif";
        QTest::newRow("one page, a read-only folder") << false << "a read-only folder"
                                                      << "new.tif";
        QTest::newRow("range, damaged") << true << "a damaged page"
                                        << "source.tif";
        QTest::newRow("range, a read-only folder") << true << "a read-only folder"
                                                   << "new.tif";
    }

    void aNewFileThatCannotBeMadeTakesNothingFromTheSource()
    {
        QFETCH(bool, range);
        QFETCH(QString, fault);
        QFETCH(QString, named);
        const bool damaged = fault == QLatin1String("a damaged page");
        if (damaged)
            QVERIFY(f.writeBytes(m_source,
                                 LabelledPages::withDamagedPage(LabelledPages::run(1, 7), 4)));
        const QString locked = f.folder(QStringLiteral("locked"));
        const QString newFile = locked + QDir::separator() + QStringLiteral("new.tif");
        if (!damaged)
            QVERIFY(QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        // A temp.tif left by an earlier transfer, of another page.
        const QString temp = f.programFolder->filePath(QStringLiteral("temp.tif"));
        const auto window = f.start(false, true);
        QVERIFY(LabelledPages::write(temp, {2}));
        QVERIFY(f.showSource(*window, QStringLiteral("source.tif"), 4));
        OperationsFixture::chooseMode(*window, ModeNewFile);
        const QByteArray sourceBefore = f.bytesOf(m_source);
        if (!damaged)
            f.dialogs->choosePath(newFile);
        f.boxes->answer(MsgOk);

        if (range) {
            DialogDriver<frmRange> driver({[](frmRange& dialog) {
                dialog.txtFrom->setText(QStringLiteral("3"));
                dialog.txtTo->setText(QStringLiteral("5"));
                dialog.cmdOK->click();
            }});
            window->cmdRange->click();
            QCOMPARE(driver.shown(), 1);
            QVERIFY(!QFile::exists(temp));
        } else {
            window->cmdSwap->click();
        }
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner);
        QCOMPARE(f.dialogs->unexpected(), 0);
        QCOMPARE(f.dialogs->requests().size(), damaged ? 0 : 1);
        QCOMPARE(f.boxes->boxes().size(), 1);
        QVERIFY2(f.boxes->texts().first().contains(named), qPrintable(f.boxes->texts().first()));
        QCOMPARE(f.bytesOf(m_source), sourceBefore);
        QVERIFY(!QFile::exists(newFile));
        QVERIFY(window->imgDes->image().isEmpty());
        QVERIFY(window->optMode(ModeNewFile)->isChecked());
        QVERIFY(!window->flags.SameFileRefused);
        QVERIFY(!window->flags.NewFileRefused);
    }

    void aFailedDeleteOrReorderLeavesTheFile_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::newRow("Delete Page") << "delete";
        QTest::newRow("Reorder") << "reorder";
        QTest::newRow("Reorder, Copy Page?") << "copy";
    }

    void aFailedDeleteOrReorderLeavesTheFile()
    {
        QFETCH(QString, operation);
        const auto window = f.start();
        f.showDestination(*window, QStringLiteral("target.tif"), 3);
        window->txtPageDes->setText(QStringLiteral("3"));
        QVERIFY(makeReadOnly(m_target));
        const QByteArray before = f.bytesOf(m_target);
        f.boxes->answer(MsgOk);
        if (operation == QLatin1String("delete")) {
            window->cmdDelPage->click();
        } else {
            const bool copy = operation == QLatin1String("copy");
            DialogDriver<frmReorder> driver({[copy](frmReorder& dialog) {
                dialog.txtInsert->setText(QStringLiteral("1"));
                dialog.chkCopy->setChecked(copy);
                dialog.cmdOK->click();
            }});
            window->cmdReorder->click();
            QCOMPARE(driver.shown(), 1);
        }
        QCOMPARE(f.bytesOf(m_target), before);
        QCOMPARE(f.boxes->boxes().size(), 1);
        QVERIFY(f.boxes->texts().first().contains(QStringLiteral("target.tif")));
        QCOMPARE(window->imgDes->image(), m_target);
        QCOMPARE(window->imgDes->page(), 3);
        QCOMPARE(window->txtPageDes->text(), QStringLiteral("3"));
    }

private:
    OperationsFixture f;
    QString m_source;
    QString m_target;
};

int runFailureTests(int argc, char** argv)
{
    FailureTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "FailureTest.moc"
