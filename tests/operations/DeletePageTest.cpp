#include "ImagingEdit.h"
#include "OperationsFixture.h"
#include "Tessary.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace tessary;
using tessary::testing::LabelledPages;
using tessary::testing::OperationsFixture;

namespace {

const QString deleteQuestion = QStringLiteral("Do you really want to delete this page?");
const QString lastPageText = QStringLiteral("You cannot delete the last page of a file.");

} // namespace

class DeletePageTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(f.reset()); }

    void deletingTheDestinationPage_data()
    {
        QTest::addColumn<int>("pages");
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("prompt");
        QTest::addColumn<int>("answer"); // 0: no question expected
        QTest::addColumn<QList<int>>("after");
        QTest::addColumn<QString>("box"); // a box other than the question, or ""
        QTest::newRow("page 3 of 5, asked, Yes")
            << 5 << 3 << true << int(MsgYes) << QList<int>{1, 2, 4, 5} << "";
        QTest::newRow("page 3 of 5, asked, No")
            << 5 << 3 << true << int(MsgNo) << QList<int>{1, 2, 3, 4, 5} << "";
        QTest::newRow("prompting off") << 5 << 5 << false << 0 << QList<int>{1, 2, 3, 4} << "";
        QTest::newRow("page 1 of 2") << 2 << 1 << false << 0 << QList<int>{2} << "";
        QTest::newRow("the last page of a file")
            << 1 << 1 << false << 0 << QList<int>{1} << lastPageText;
    }

    void deletingTheDestinationPage()
    {
        QFETCH(int, pages);
        QFETCH(int, page);
        QFETCH(bool, prompt);
        QFETCH(int, answer);
        QFETCH(QList<int>, after);
        QFETCH(QString, box);
        const QString target = f.scan(QStringLiteral("target.tif"));
        QVERIFY(LabelledPages::write(target, LabelledPages::run(1, pages)));
        const QByteArray before = f.bytesOf(target);
        const auto window = f.start(prompt);
        f.showDestination(*window, QStringLiteral("target.tif"), page);
        window->txtPageDes->setText(QString::number(page));
        if (answer != 0)
            f.boxes->answer(answer);
        if (!box.isEmpty())
            f.boxes->answer(MsgOk);

        window->cmdDelPage->click();
        QCOMPARE(LabelledPages::of(target), after);
        QStringList texts;
        if (answer != 0)
            texts.append(deleteQuestion);
        if (!box.isEmpty())
            texts.append(box);
        QCOMPARE(f.boxes->texts(), texts);
        QCOMPARE(f.boxes->unexpected(), 0);
        if (!box.isEmpty()) {
            QCOMPARE(f.boxes->boxes().last().icon, MsgIcon::Exclamation);
            QCOMPARE(f.bytesOf(target), before);
        }
        const bool deleted = after.size() < pages;
        QCOMPARE(window->imgDes->image(), target);
        QCOMPARE(window->imgDes->page(), deleted ? 1 : page);
        QCOMPARE(window->txtPageDes->text(), deleted ? QStringLiteral("1") : QString::number(page));
        QCOMPARE(window->lblDestination->text(),
                 QStringLiteral("Destination Image - %1 Page(s)   target.tif").arg(after.size()));
    }

    void withoutADestinationNothingHappens()
    {
        const auto window = f.start(true);
        window->txtPageDes->setText(QStringLiteral("7"));
        window->cmdDelPage->click();
        QVERIFY(f.boxes->boxes().isEmpty());
        QCOMPARE(window->txtPageDes->text(), QStringLiteral("7"));
        QCOMPARE(window->lblDestination->text(), QStringLiteral("Destination Image"));
    }

private:
    OperationsFixture f;
};

int runDeletePageTests(int argc, char** argv)
{
    DeletePageTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "DeletePageTest.moc"
