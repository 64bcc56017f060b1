#include "common/CoreTestBase.h"
#include "app/core/NumberText.h"

#include <QLocale>
#include <QTest>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace {

QString ErrorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const std::runtime_error& e) {
        return QString::fromUtf8(e.what());
    }
    return QString();
}

} // namespace

class TestNumberText : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { ResetCoreGlobals(); }

    void strToIntAccepts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << "5" << 5;
        QTest::newRow("leading zero") << "05" << 5;
        QTest::newRow("leading spaces") << "   5" << 5;
        QTest::newRow("minus") << "-3" << -3;
        QTest::newRow("plus") << "+7" << 7;
        QTest::newRow("dollar hex") << "$1F" << 31;
        QTest::newRow("x hex") << "x10" << 16;
        QTest::newRow("0x hex") << "0x10" << 16;
        QTest::newRow("negative hex") << "-$10" << -16;
        QTest::newRow("hex pattern") << "$FFFFFFFF" << -1;
        QTest::newRow("max") << "2147483647" << std::numeric_limits<int>::max();
        QTest::newRow("min") << "-2147483648" << std::numeric_limits<int>::min();
        QTest::newRow("zero") << "0" << 0;
    }
    void strToIntAccepts()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(StrToInt(text), value);
    }

    void strToIntRejects_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        QTest::newRow("letters") << "abc";
        QTest::newRow("trailing space") << "5 ";
        QTest::newRow("sign only") << "-";
        QTest::newRow("prefix only") << "$";
        QTest::newRow("decimal") << "1.5";
        QTest::newRow("too big") << "2147483648";
        QTest::newRow("too small") << "-2147483649";
        QTest::newRow("huge") << "99999999999999999999";
        QTest::newRow("bad hex") << "$G1";
        QTest::newRow("long hex") << "$100000000";
        QTest::newRow("inner space") << "1 2";
    }
    void strToIntRejects()
    {
        QFETCH(QString, text);
        QCOMPARE(ErrorOf([&] { StrToInt(text); }), QStringLiteral("'%1' is not a valid integer value").arg(text));
    }

    void strToFloatFollowsRegionalSeparator()
    {
        QCOMPARE(StrToFloat(QStringLiteral("12.5")), 12.5);
        QCOMPARE(StrToFloat(QStringLiteral(" -3.25 ")), -3.25);
        QCOMPARE(StrToFloat(QStringLiteral("1e3")), 1000.0);
        QCOMPARE(StrToFloat(QStringLiteral("2.5E-2")), 0.025);
        QCOMPARE(StrToFloat(QStringLiteral(".5")), 0.5);
        QCOMPARE(StrToFloat(QStringLiteral("5.")), 5.0);
        QCOMPARE(ErrorOf([] { StrToFloat(QStringLiteral("12,5")); }),
                 QStringLiteral("'12,5' is not a valid floating point value"));

        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        QCOMPARE(StrToFloat(QStringLiteral("12,5")), 12.5);
        QCOMPARE(StrToFloat(QStringLiteral("5,50")), 5.5);
        QCOMPARE(ErrorOf([] { StrToFloat(QStringLiteral("12.5")); }),
                 QStringLiteral("'12.5' is not a valid floating point value"));
    }

    void strToFloatRejects_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        QTest::newRow("spaces") << "   ";
        QTest::newRow("letters") << "abc";
        QTest::newRow("separator only") << ".";
        QTest::newRow("exponent without digits") << "1e";
        QTest::newRow("trailing garbage") << "1.5x";
        QTest::newRow("nan") << "nan";
        QTest::newRow("inf") << "inf";
        QTest::newRow("overflow") << "1e400";
        QTest::newRow("two signs") << "--1";
        QTest::newRow("hex") << "0x10";
        QTest::newRow("thousands space") << "1 000";
        QTest::newRow("3000 digits") << QString(3000, QLatin1Char('7'));
    }
    void strToFloatRejects()
    {
        QFETCH(QString, text);
        QCOMPARE(ErrorOf([&] { StrToFloat(text); }),
                 QStringLiteral("'%1' is not a valid floating point value").arg(text));
    }

    void generalFormat_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0.0 << "0";
        QTest::newRow("negative zero") << -0.0 << "0";
        QTest::newRow("whole") << 12.0 << "12";
        QTest::newRow("half") << 12.5 << "12.5";
        QTest::newRow("negative") << -3.25 << "-3.25";
        QTest::newRow("tenth") << 0.1 << "0.1";
        QTest::newRow("fine-step sum") << 0.01 + 0.01 + 0.01 << "0.03";
        QTest::newRow("residue") << -3.5e-18 << "-3.5E-18";
        QTest::newRow("smallest fixed") << 0.00001 << "0.00001";
        QTest::newRow("just below fixed") << 0.000009 << "9E-6";
        QTest::newRow("15 digits") << 123456789012345.0 << "123456789012345";
        QTest::newRow("1E15") << 1e15 << "1E15";
        QTest::newRow("rounded to 15") << 1.0 / 3.0 << "0.333333333333333";
        QTest::newRow("thousandths") << 12345.6 << "12345.6";
        QTest::newRow("large negative") << -32768.0 << "-32768";
        QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << "NAN";
    }
    void generalFormat()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(FloatToStr(value), text);
    }

    void generalFormatUsesRegionalSeparator()
    {
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        QCOMPARE(FloatToStr(12.5), QStringLiteral("12,5"));
        QCOMPARE(FloatToStr(-3.5e-18), QStringLiteral("-3,5E-18"));
        QCOMPARE(FormatGeneral(12.5, QStringLiteral(".")), QStringLiteral("12.5"));
    }

    void displayedValueReadsBackAsItself()
    {
        for (const char* name : {"C", "ru_RU", "de_DE"}) {
            QLocale::setDefault(QLocale(QString::fromLatin1(name)));
            for (double v : {0.1, -31.99, 12.3456, 1.0 / 7.0, 3.5e-18, 32.0, -0.001}) {
                const double back = StrToFloat(FloatToStr(v));
                QVERIFY2(std::fabs(back - v) <= std::fabs(v) * 1e-14, qPrintable(FloatToStr(v)));
            }
        }
    }
};

QTEST_APPLESS_MAIN(TestNumberText)
#include "tst_numbertext.moc"
