// The advance as the wire carries it: whole thousandths of a degree in 16
// bits, when two advances count as the same, and how a comparison is told.

#include "common/CoreTestBase.h"
#include "app/core/MapCompare.h"
#include "device/core/Dataextractor.h"

#include <QTest>
#include <limits>

class TestWireCodes : public QObject {
    Q_OBJECT

private slots:
    void init() { ResetCoreGlobals(); }

    void encodingTruncatesTowardZero_data()
    {
        QTest::addColumn<double>("uoz");
        QTest::addColumn<bool>("fits");
        QTest::addColumn<int>("code");
        QTest::newRow("12.3456") << 12.3456 << true << 12345;
        QTest::newRow("-4.0009") << -4.0009 << true << -4000;
        QTest::newRow("0.0004") << 0.0004 << true << 0;
        QTest::newRow("-0.0004") << -0.0004 << true << 0;
        QTest::newRow("0.0009999") << 0.0009999 << true << 0;
        QTest::newRow("32.7679") << 32.7679 << true << 32767;
        QTest::newRow("-32.7689") << -32.7689 << true << -32768;
        QTest::newRow("1.001") << 1.001 << true << 1001;
        QTest::newRow("-32.763") << -32.763 << true << -32763;
        double fine = 0, coarse = 0;
        for (int k = 0; k < 10; ++k)
            fine += 0.01;
        for (int k = 0; k < 8; ++k)
            coarse += 0.1;
        QTest::newRow("ten steps of 0.01") << fine << true << 100;
        QTest::newRow("eight steps of 0.1") << coarse << true << 800;
        QTest::newRow("32.768") << 32.768 << false << 0;
        QTest::newRow("-32.769") << -32.769 << false << 0;
        QTest::newRow("40") << 40.0 << false << 0;
        QTest::newRow("-1e300") << -1e300 << false << 0;
        QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << false << 0;
        QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << false << 0;
    }
    void encodingTruncatesTowardZero()
    {
        QFETCH(double, uoz);
        QFETCH(bool, fits);
        QFETCH(int, code);
        short sent = 12345;
        QCOMPARE(AdvanceToThousandths(uoz, &sent), fits);
        if (fits)
            QCOMPARE(int(sent), code);
    }

    void everyCodeRoundTrips()
    {
        // What a read stores, written back unchanged, is what was read.
        for (int c = -32768; c <= 32767; ++c) {
            short sent = 0;
            if (!AdvanceToThousandths(c / 1000.0, &sent) || sent != c)
                QFAIL(qPrintable(QStringLiteral("code %1 goes out as %2").arg(c).arg(sent)));
        }
    }

    // Two advances are the same when they go out as the same code.
    void sameAdvanceIsTheSameCode_data()
    {
        QTest::addColumn<double>("a");
        QTest::addColumn<double>("b");
        QTest::addColumn<bool>("same");
        const double nan = std::numeric_limits<double>::quiet_NaN();
        double residue = 0;
        for (int k = 0; k < 3; ++k)
            residue += 0.01;
        for (int k = 0; k < 3; ++k)
            residue -= 0.01;
        QVERIFY(residue != 0.0);
        QTest::newRow("residue of a sum") << residue << 0.0 << true;
        QTest::newRow("read back") << 4.35 << 4350 / 1000.0 << true;
        QTest::newRow("below a thousandth") << 12.3456 << 12.345 << true;
        QTest::newRow("a thousandth apart") << 12.346 << 12.345 << false;
        QTest::newRow("-0.001") << -0.001 << 0.0 << false;
        QTest::newRow("beyond the wire, as doubles") << 40.0 << 40.0 << true;
        QTest::newRow("beyond the wire and its end") << 40.0 << 32.767 << false;
        QTest::newRow("NaN") << nan << nan << false;
        QTest::newRow("NaN and 0") << nan << 0.0 << false;
    }
    void sameAdvanceIsTheSameCode()
    {
        QFETCH(double, a);
        QFETCH(double, b);
        QFETCH(bool, same);
        QCOMPARE(SameAdvance(a, b), same);
    }

    void comparisonMessage_data()
    {
        QTest::addColumn<QList<int>>("lpg");
        QTest::addColumn<QList<int>>("petrol");
        QTest::addColumn<QString>("text");
        QList<int> eleven;
        for (int i = 0; i < 11; ++i)
            eleven << 69 + i;
        QTest::newRow("equal") << QList<int>() << QList<int>() << "Карты совпадают с вариатором";
        QTest::newRow("both") << QList<int>{12, 13} << QList<int>{0}
                              << "Отличаются точек: 3 (газ: 1200, 1300 об/мин; бензин: 0 об/мин)";
        QTest::newRow("gas only") << QList<int>{79} << QList<int>() << "Отличаются точек: 1 (газ: 7900 об/мин)";
        QTest::newRow("petrol only") << QList<int>() << QList<int>{5, 6}
                                     << "Отличаются точек: 2 (бензин: 500, 600 об/мин)";
        QTest::newRow("ten listed, eleven counted")
            << eleven << QList<int>{1}
            << "Отличаются точек: 12 (газ: 6900, 7000, 7100, 7200, 7300, 7400, 7500, 7600, 7700, 7800, …"
               " об/мин; бензин: 100 об/мин)";
        QTest::newRow("exactly ten") << eleven.mid(1) << QList<int>()
                                     << "Отличаются точек: 10 (газ: 7000, 7100, 7200, 7300, 7400, 7500, 7600,"
                                        " 7700, 7800, 7900 об/мин)";
    }
    void comparisonMessage()
    {
        QFETCH(QList<int>, lpg);
        QFETCH(QList<int>, petrol);
        QFETCH(QString, text);
        QCOMPARE(ComparisonMessage(lpg, petrol), text);
    }
};

QTEST_GUILESS_MAIN(TestWireCodes)
#include "tst_wirecodes.moc"
