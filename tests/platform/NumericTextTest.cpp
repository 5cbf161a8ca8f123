#include "NumericText.h"

#include <QTest>
#include <limits>

using namespace tessary;

class NumericTextTest : public QObject
{
    Q_OBJECT

private slots:
    void textsReadAsNumbersAsThePlatformReadsThem_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("number");
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("whole");
        QTest::newRow("digits") << "12" << true << 12.0 << 12;
        QTest::newRow("blanks around") << "  7 " << true << 7.0 << 7;
        QTest::newRow("tabs around") << "\t7\t" << true << 7.0 << 7;
        QTest::newRow("plus sign") << "+3" << true << 3.0 << 3;
        QTest::newRow("minus sign") << "-3" << true << -3.0 << -3;
        QTest::newRow("leading zeros") << "03" << true << 3.0 << 3;
        QTest::newRow("decimal point") << "2.25" << true << 2.25 << 2;
        QTest::newRow("point first") << ".75" << true << 0.75 << 1;
        QTest::newRow("point last") << "4." << true << 4.0 << 4;
        QTest::newRow("exponent") << "5e2" << true << 500.0 << 500;
        QTest::newRow("exponent, capital, signed") << "25E-1" << true << 2.5 << 2;
        QTest::newRow("half to even, down") << "2.5" << true << 2.5 << 2;
        QTest::newRow("half to even, up") << "3.5" << true << 3.5 << 4;
        QTest::newRow("half to even, negative") << "-0.5" << true << -0.5 << 0;
        QTest::newRow("above the 32-bit range") << "1e12" << true << 1e12 << INT32_MAX;
        QTest::newRow("below the 32-bit range") << "-1e12" << true << -1e12 << INT32_MIN;
        QTest::newRow("empty") << "" << false << 0.0 << 0;
        QTest::newRow("blanks only") << "   " << false << 0.0 << 0;
        QTest::newRow("lone minus") << "-" << false << 0.0 << 0;
        QTest::newRow("lone plus") << "+" << false << 0.0 << 0;
        QTest::newRow("lone point") << "." << false << 0.0 << 0;
        QTest::newRow("sign and point") << "-." << false << 0.0 << 0;
        QTest::newRow("letter") << "a" << false << 0.0 << 0;
        QTest::newRow("letter after digits") << "3a" << false << 0.0 << 0;
        QTest::newRow("exponent without digits") << "1e" << false << 0.0 << 0;
        QTest::newRow("exponent alone") << "e5" << false << 0.0 << 0;
        QTest::newRow("two points") << "1.2.3" << false << 0.0 << 0;
        QTest::newRow("two signs") << "--1" << false << 0.0 << 0;
        QTest::newRow("blank inside") << "1 2" << false << 0.0 << 0;
        QTest::newRow("group separator") << "1,000" << false << 0.0 << 0;
        QTest::newRow("infinity spelt out") << "inf" << false << 0.0 << 0;
        QTest::newRow("not a number spelt out") << "nan" << false << 0.0 << 0;
        QTest::newRow("hexadecimal") << "0x10" << false << 0.0 << 0;
        QTest::newRow("too large for a double") << "1e400" << false << 0.0 << 0;
    }

    void textsReadAsNumbersAsThePlatformReadsThem()
    {
        QFETCH(QString, text);
        QFETCH(bool, number);
        QFETCH(double, value);
        QFETCH(int, whole);
        QCOMPARE(NumericText::isNumber(text), number);
        const std::optional<double> read = NumericText::read(text);
        QCOMPARE(read.has_value(), number);
        const std::optional<std::int32_t> page = NumericText::readWhole(text);
        QCOMPARE(page.has_value(), number);
        if (!number)
            return;
        QCOMPARE(*read, value);
        QCOMPARE(*page, std::int32_t(whole));
    }
};

int runNumericTextTests(int argc, char** argv)
{
    NumericTextTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "NumericTextTest.moc"
