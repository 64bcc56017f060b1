#include "device/wire/Frame.h"
#include "LinkFixture.h"
#include "app/core/NumberText.h"
#include "editors/widgets/StringGrid.h"

#include <QLineEdit>
#include <QLineSeries>
#include <QProgressBar>
#include <QPushButton>
#include <QElapsedTimer>
#include <QThread>
#include <QUndoStack>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

const QString LPGMismatch = QStringLiteral("WritePLGMap: функция UARTdataExchange возвращает неверное значение");
const QString PetrolMismatch = QStringLiteral("WritePetrolMap: функция UARTdataExchange возвращает неверное значение");
const QString Refused = QStringLiteral("Запись отменена: значение вне допустимого диапазона ");

int Data(const SimRequest& r)
{
    return DataField(r.bytes);
}

// A code for every point that covers the sign and the extremes.
int LPGCode(int i)
{
    switch (i) {
    case 0: return -1;      // FF FF
    case 1: return -32768;  // 80 00
    case 2: return 32767;   // 7F FF
    case 3: return 1001;    // 1.001 * 1000 is 1000.9999999999999
    case 4: return -1001;
    default: return i * 397 - 15000;
    }
}

int PetrolCode(int i)
{
    return 20000 - i * 523;
}

} // namespace

class TestTransfer : public QObject, public LinkFixture {
    Q_OBJECT

    VariatorSim* sim = nullptr;

    // Connected to a simulator on COM5 that has received nothing yet.
    void Connect()
    {
        sim = AddSim(5);
        ConnectTo(5);
        sim->ClearRequests();
        messages.clear();
        statusAtMessage.clear();
    }

    // Fills both tables with a value no exchange of these tests answers.
    static void FillTables(double value)
    {
        for (int i = 0; i < MapPoints; ++i)
            LPGTable.Uoz[i] = PetrolTable.Uoz[i] = value;
    }

    // A silent exchange lasts 7 * T: the tests that make the variator fall
    // silent lower T from 1000 ms to 100 ms, so each costs 0.7 s, not 7 s.
    static void ShortenTimeouts() { QVERIFY(VariatorPort->SetTimeouts(100)); }

private slots:
    void initTestCase() { InitRuntime(); }
    void init()
    {
        InitWindow();
        Connect();
    }
    void cleanup() { CleanupWindow(); }

    void fullRead()
    {
        for (int i = 0; i < MapPoints; ++i) {
            sim->SetValue(80 + i, int16_t(LPGCode(i)));
            sim->SetValue(i, int16_t(PetrolCode(i)));
        }
        sim->SetValue(166, 45);
        sim->SetValue(160, -1);
        FillTables(99.0);
        w->ReadData->click();

        QVERIFY(messages.isEmpty());
        QVERIFY(errors.isEmpty());
        for (int i = 0; i < MapPoints; ++i) {
            QCOMPARE(LPGTable.Uoz[i], LPGCode(i) / 1000.0);
            QCOMPARE(PetrolTable.Uoz[i], PetrolCode(i) / 1000.0);
            QCOMPARE(LPGTable.Rpm[i], 100.0 * i);
        }
        QCOMPARE(LPGTable.Uoz[0], -0.001);
        QCOMPARE(LPGTable.Uoz[1], -32.768);
        QCOMPARE(LPGTable.Uoz[2], 32.767);
        QCOMPARE(w->EEditVariatorStartTimeout->text(), QStringLiteral("45"));
        QCOMPARE(w->MicroCodeVersionEdit->text(), QStringLiteral("-1"));

        // LPG first (80..159), then petrol (0..79), then 166 and 160.
        const auto requests = sim->Requests();
        QCOMPARE(int(requests.size()), 162);
        for (int k = 0; k < 162; ++k) {
            const int parameter = k < 80 ? 80 + k : k < 160 ? k - 80 : k == 160 ? 166 : 160;
            QCOMPARE(int(requests[k].bytes[0]), 0x55);
            QCOMPARE(int(requests[k].bytes[1]), parameter);
            QCOMPARE(Data(requests[k]), k < 160 ? 100 : 1000);
            QVERIFY(requests[k].checksumOk);
        }

        // Both views of both maps were reloaded.
        QCOMPARE(w->LineSeries1->count(), MapPoints);
        QCOMPARE(w->LineSeries1->at(7).y(), LPGCode(7) / 1000.0);
        QCOMPARE(w->Series1->at(7).y(), PetrolCode(7) / 1000.0);
        QCOMPARE(w->StringGridLPG->Cell(1, 1), QStringLiteral("-0.001"));
        QCOMPARE(w->StringGridPetrol->Cell(1, 1), QStringLiteral("20"));
        QVERIFY(!w->ProgressBar1->isVisibleTo(w));
        QVERIFY(!w->LabelProgress->isVisibleTo(w));
    }

    void readPaintsTheBarForEveryPointOfEachMap()
    {
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        PaintRecorder bar;
        bar.what = [this] { return QString::number(w->ProgressBar1->value()); };
        w->ProgressBar1->installEventFilter(&bar);
        w->ReadData->click();
        w->ProgressBar1->removeEventFilter(&bar);

        QVERIFY(messages.isEmpty());
        QStringList positions;
        for (int i = 0; i < MapPoints; ++i)
            positions << QString::number(i);
        QCOMPARE(bar.shown, positions + positions);
        // A read shows the bar alone.
        QVERIFY(!w->LabelProgress->isVisibleTo(w));
        QVERIFY(!w->ProgressBar1->isVisibleTo(w));
    }

    void failedFirmwareReadKeepsItsBox_data()
    {
        QTest::addColumn<int>("fault");
        QTest::newRow("bad checksum") << int(SimFault::BadChecksum);
        QTest::newRow("error report") << int(SimFault::ErrorReport);
        QTest::newRow("silent") << int(SimFault::Silent);
    }
    void failedFirmwareReadKeepsItsBox()
    {
        // The start timeout arrives; the firmware version that follows it
        // fails and must not take the start timeout's value or any other.
        QFETCH(int, fault);
        ShortenTimeouts();
        sim->SetValue(166, 45);
        sim->SetValue(160, 46);
        sim->AddFault({SimFault(fault), 5, 160});
        w->EEditVariatorStartTimeout->setText(QStringLiteral("7"));
        w->MicroCodeVersionEdit->setText(QStringLiteral("8"));
        w->ReadData->click();

        QCOMPARE(messages.size(), 1);
        QCOMPARE(w->EEditVariatorStartTimeout->text(), QStringLiteral("45"));
        QCOMPARE(w->MicroCodeVersionEdit->text(), QStringLiteral("8"));
    }

    void fullWrite()
    {
        for (int i = 0; i < MapPoints; ++i) {
            LPGTable.Uoz[i] = LPGCode(i) / 1000.0;
            PetrolTable.Uoz[i] = PetrolCode(i) / 1000.0;
        }
        w->EEditVariatorStartTimeout->setText(QStringLiteral("-1"));
        w->MicroCodeVersionEdit->setText(QStringLiteral("77"));
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        PaintRecorder bar;
        bar.what = [this] { return QString::number(w->ProgressBar1->value()); };
        // The caption under the bar at each of its paints, and what the label
        // itself painted.
        PaintRecorder captionAtBar;
        captionAtBar.what = [this] {
            return w->LabelProgress->isVisible() ? w->LabelProgress->text() : QStringLiteral("hidden");
        };
        PaintRecorder label;
        label.what = [this] { return w->LabelProgress->text(); };
        w->ProgressBar1->installEventFilter(&bar);
        w->ProgressBar1->installEventFilter(&captionAtBar);
        w->LabelProgress->installEventFilter(&label);
        w->WriteData->click();
        w->ProgressBar1->removeEventFilter(&bar);
        w->ProgressBar1->removeEventFilter(&captionAtBar);
        w->LabelProgress->removeEventFilter(&label);

        QVERIFY(messages.isEmpty());
        QVERIFY(errors.isEmpty());
        for (int i = 0; i < MapPoints; ++i) {
            QCOMPARE(int(sim->Value(80 + i)), LPGCode(i));
            QCOMPARE(int(sim->Value(i)), PetrolCode(i));
        }
        QCOMPARE(int(sim->Value(166)), -1);
        QCOMPARE(int(sim->Value(160)), 12); // the firmware version is never written

        const auto requests = sim->Requests();
        QCOMPARE(int(requests.size()), 161);
        for (int k = 0; k < 161; ++k) {
            const int parameter = k < 80 ? 80 + k : k < 160 ? k - 80 : 166;
            QCOMPARE(int(requests[k].bytes[0]), 0xAA);
            QCOMPARE(int(requests[k].bytes[1]), parameter);
        }
        QCOMPARE(int(requests[0].bytes[2]), 0xFF); // -1 goes out as FF FF
        QCOMPARE(int(requests[0].bytes[3]), 0xFF);
        QCOMPARE(int(requests[160].bytes[2]), 0xFF);
        QCOMPARE(int(requests[160].bytes[3]), 0xFF);

        // The bar went through every point of both maps.
        QStringList positions;
        for (int i = 0; i < MapPoints; ++i)
            positions << QString::number(i);
        QCOMPARE(bar.shown, positions + positions);
        const QStringList captions{QStringLiteral("Запись газовой карты в вариатор"),
                                   QStringLiteral("Запись бензиновой карты в вариатор")};
        QCOMPARE(captionAtBar.shown, captions);
        QCOMPARE(label.shown, captions);
        QCOMPARE(w->LabelProgress->text(), QStringLiteral("Запись бензиновой карты в вариатор"));
        QVERIFY(!w->ProgressBar1->isVisibleTo(w));
        QVERIFY(!w->LabelProgress->isVisibleTo(w));
    }

    // The bar of point i is painted once request i is on the line and before
    // its reply is taken: each paint waits for the simulator to have received
    // exactly the requests up to that point's own. The frames and their order
    // stay those of a read and a write, and each map shows 0..79.
    void progressPaintedWhileRequestOnLine()
    {
        sim->SetValue(166, 30);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        int offset = 0;       // requests of the command before the current map
        int last = -1;        // the position painted last
        QStringList early;    // paints that came before their request went out
        PaintRecorder bar;
        bar.what = [&] {
            const int i = w->ProgressBar1->value();
            if (i < last)
                offset = MapPoints; // the second map
            last = i;
            const int expected = offset + i + 1;
            QElapsedTimer clock;
            clock.start();
            while (sim->RequestCount() < expected && early.isEmpty() && clock.elapsed() < 1000)
                QThread::usleep(100);
            if (sim->RequestCount() != expected)
                early << QStringLiteral("%1 with %2 requests").arg(i).arg(sim->RequestCount());
            return QString::number(i);
        };
        QStringList positions;
        for (int i = 0; i < MapPoints; ++i)
            positions << QString::number(i);

        w->ProgressBar1->installEventFilter(&bar);
        w->ReadData->click();
        QCOMPARE(early, QStringList());
        QCOMPARE(bar.shown, positions + positions);
        auto requests = sim->Requests();
        QCOMPARE(int(requests.size()), 162);
        for (int k = 0; k < 162; ++k) {
            const int parameter = k < 80 ? 80 + k : k < 160 ? k - 80 : k == 160 ? 166 : 160;
            unsigned char frame[FrameSize];
            BuildFrame(frame, ReadCommand, static_cast<unsigned char>(parameter), k < 160 ? 100 : 1000);
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(requests[k].bytes), FrameSize),
                     QByteArray(reinterpret_cast<const char*>(frame), FrameSize));
        }

        sim->ClearRequests();
        bar.shown.clear();
        offset = 0;
        last = -1;
        w->WriteData->click();
        w->ProgressBar1->removeEventFilter(&bar);
        QCOMPARE(early, QStringList());
        QCOMPARE(bar.shown, positions + positions);
        requests = sim->Requests();
        QCOMPARE(int(requests.size()), 161);
        for (int k = 0; k < 161; ++k) {
            const int parameter = k < 80 ? 80 + k : k < 160 ? k - 80 : 166;
            unsigned char frame[FrameSize];
            BuildFrame(frame, WriteCommand, static_cast<unsigned char>(parameter), sim->Value(parameter));
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(requests[k].bytes), FrameSize),
                     QByteArray(reinterpret_cast<const char*>(frame), FrameSize));
        }
        QVERIFY(messages.isEmpty());
    }

    // A point whose exchange fails shows its message after its bar position
    // was painted, as before: the message of point 3 comes with the bar at 3.
    void progressPaintedBeforeTheMessageOfItsPoint()
    {
        ShortenTimeouts();
        SimFaultRule rule;
        rule.fault = SimFault::Silent;
        rule.parameter = 80 + 3;
        sim->AddFault(rule);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        PaintRecorder bar;
        bar.what = [this] { return QString::number(w->ProgressBar1->value()); };
        QStringList barAtMessage;
        SetMessageHook([&](const QString& text) {
            messages << text;
            barAtMessage << (bar.shown.isEmpty() ? QString() : bar.shown.back());
        });
        w->ProgressBar1->installEventFilter(&bar);
        w->ReadData->click();
        w->ProgressBar1->removeEventFilter(&bar);
        QCOMPARE(messages, QStringList{QStringLiteral("UARTdataExchange: Вариатор не отвечает")});
        QCOMPARE(barAtMessage, QStringList{QStringLiteral("3")});
        QCOMPARE(sim->RequestCount(), 162);
    }

    void encodingTruncatesTowardZero_data()
    {
        QTest::addColumn<double>("uoz");
        QTest::addColumn<int>("code");
        QTest::newRow("12.3456") << 12.3456 << 12345;
        QTest::newRow("-4.0009") << -4.0009 << -4000;
        QTest::newRow("0.0004") << 0.0004 << 0;
        QTest::newRow("-0.0004") << -0.0004 << 0;
        QTest::newRow("0.0009999") << 0.0009999 << 0;
        QTest::newRow("32.7679") << 32.7679 << 32767;
        QTest::newRow("-32.7689") << -32.7689 << -32768;
        QTest::newRow("1.001") << 1.001 << 1001;
        QTest::newRow("-32.763") << -32.763 << -32763;
        double fine = 0, coarse = 0;
        for (int k = 0; k < 10; ++k)
            fine += 0.01;
        for (int k = 0; k < 8; ++k)
            coarse += 0.1;
        QTest::newRow("ten steps of 0.01") << fine << 100;
        QTest::newRow("eight steps of 0.1") << coarse << 800;
    }
    void encodingTruncatesTowardZero()
    {
        QFETCH(double, uoz);
        QFETCH(int, code);
        short sent = 12345;
        QVERIFY(AdvanceToThousandths(uoz, &sent));
        QCOMPARE(int(sent), code);
    }

    void encodingRefusesWhatDoesNotFit()
    {
        short sent = 0;
        for (double uoz : {32.768, -32.769, 40.0, -1e300, std::numeric_limits<double>::infinity(),
                           std::numeric_limits<double>::quiet_NaN()})
            QVERIFY2(!AdvanceToThousandths(uoz, &sent), qPrintable(QString::number(uoz)));
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

    void roundTripOverTheWire()
    {
        // 160 codes spread over the whole range, through the variator and back.
        auto code = [](int k) { return k == 159 ? 32767 : -32768 + k * 409 + (k % 7); };
        for (int i = 0; i < MapPoints; ++i) {
            LPGTable.Uoz[i] = code(i) / 1000.0;
            PetrolTable.Uoz[i] = code(80 + i) / 1000.0;
        }
        w->WriteData->click();
        FillTables(0);
        w->ReadData->click();
        QVERIFY(messages.isEmpty());
        for (int i = 0; i < MapPoints; ++i) {
            QCOMPARE(int(sim->Value(80 + i)), code(i));
            QCOMPARE(LPGTable.Uoz[i], code(i) / 1000.0);
            QCOMPARE(PetrolTable.Uoz[i], code(80 + i) / 1000.0);
        }
    }

    // A read is one step that undo takes back exactly, both maps at once; a
    // write changes no map and adds no step.
    void readIsOneStepWriteNone()
    {
        for (int i = 0; i < MapPoints; ++i) {
            LPGTable.Uoz[i] = 0.1 * i;
            PetrolTable.Uoz[i] = -0.01 * i;
        }
        const MapTable lpg = LPGTable;
        const MapTable petrol = PetrolTable;
        QUndoStack* stack = w->UndoStack;
        w->WriteData->click();
        QVERIFY(messages.isEmpty());
        QCOMPARE(stack->count(), 0);
        QVERIFY(std::memcmp(&lpg, &LPGTable, sizeof lpg) == 0);

        for (int i = 0; i < MapPoints; ++i) {
            sim->SetValue(80 + i, int16_t(1000 + i));
            sim->SetValue(i, int16_t(-1000 - i));
        }
        w->ReadData->click();
        QCOMPARE(stack->count(), 1);
        QCOMPARE(LPGTable.Uoz[5], 1.005);
        stack->undo();
        QVERIFY(std::memcmp(&lpg, &LPGTable, sizeof lpg) == 0);
        QVERIFY(std::memcmp(&petrol, &PetrolTable, sizeof petrol) == 0);
        QCOMPARE(w->StringGridPetrol->Cell(1, 2), QStringLiteral("-0.01"));
        stack->redo();
        QCOMPARE(PetrolTable.Uoz[5], -1.005);
    }

    void notConnectedCaptions_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::newRow("lower case") << "подключен";
        QTest::newRow("trailing space") << "Подключен ";
        QTest::newRow("disconnected") << "Не подключен";
    }
    void notConnectedCaptions()
    {
        // The caption decides, not the flag: the link itself is up.
        QFETCH(QString, caption);
        w->Label2->setText(caption);
        FillTables(1.5);
        w->EEditVariatorStartTimeout->setText(QStringLiteral("3"));

        w->ReadData->click();
        QCOMPARE(messages, QStringList{"Вариатор отключен"});
        QCOMPARE(w->Label2->text(), caption);

        w->WriteData->click();
        QCOMPARE(messages, QStringList({"Вариатор отключен", "Вариатор отключен"}));
        // The write command turns the status to disconnected before its message.
        QCOMPARE(statusAtMessage.back(), QStringLiteral("Не подключен"));
        QCOMPARE(w->Label2->text(), QStringLiteral("Не подключен"));

        QCOMPARE(sim->RequestCount(), 0);
        QCOMPARE(LPGTable.Uoz[0], 1.5);
        QCOMPARE(w->EEditVariatorStartTimeout->text(), QStringLiteral("3"));
    }

    void neverConnected()
    {
        // At start the label is hidden with the caption "Не подключен".
        delete w;
        w = new TForm2;
        Form2 = w;
        w->ReadData->click();
        w->WriteData->click();
        QCOMPARE(messages, QStringList({"Вариатор отключен", "Вариатор отключен"}));
        QCOMPARE(sim->RequestCount(), 0);
    }

    void mismatchOnOnePointDoesNotStopTheWrite()
    {
        sim->AddFault({SimFault::WrongEcho, 1, 85});
        FillTables(2.5);
        w->EEditVariatorStartTimeout->setText(QStringLiteral("9"));
        w->WriteData->click();
        QCOMPARE(messages, QStringList{LPGMismatch});
        QCOMPARE(sim->RequestCount(), 161);
        QCOMPARE(int(sim->Value(86)), 2500);
        QCOMPARE(int(sim->Value(79)), 2500);
        QCOMPARE(int(sim->Value(166)), 9);
    }

    void silentVariatorDuringRead()
    {
        // From petrol point 78 on (request 159) nothing answers: 78, 79, the
        // start timeout and the firmware version keep what they had.
        ShortenTimeouts();
        for (int i = 0; i < MapPoints; ++i)
            sim->SetValue(i, int16_t(i));
        sim->AddFault({SimFault::Silent, 0, -1, 0, 159});
        FillTables(1.5);
        w->EEditVariatorStartTimeout->setText(QStringLiteral("7"));
        w->MicroCodeVersionEdit->setText(QStringLiteral("8"));
        w->ReadData->click();

        QCOMPARE(sim->RequestCount(), 162);
        QCOMPARE(messages.size(), 4); // one report of each silent exchange
        QCOMPARE(PetrolTable.Uoz[77], 0.077);
        QCOMPARE(PetrolTable.Uoz[78], 1.5);
        QCOMPARE(PetrolTable.Uoz[79], 1.5);
        QCOMPARE(w->EEditVariatorStartTimeout->text(), QStringLiteral("7"));
        QCOMPARE(w->MicroCodeVersionEdit->text(), QStringLiteral("8"));
    }

    void silentVariatorDuringWrite()
    {
        ShortenTimeouts();
        sim->AddFault({SimFault::Silent, 0, -1, 0, 159});
        FillTables(3.0);
        w->WriteData->click();
        QCOMPARE(sim->RequestCount(), 161);
        // Petrol 78 and 79: the exchange's report and the map's mismatch
        // message each; the start timeout: the exchange's report alone.
        QCOMPARE(messages.size(), 5);
        QCOMPARE(messages.count(PetrolMismatch), 2);
        QCOMPARE(messages[1], PetrolMismatch);
        QCOMPARE(messages[3], PetrolMismatch);
        QVERIFY(!messages.contains(LPGMismatch));
    }

    void badReplyOnOnePoint_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("argument");
        QTest::addColumn<QString>("report");
        QTest::newRow("bad checksum") << int(SimFault::BadChecksum) << 0
                                      << "UARTdataExchange: Ошибка контрольной суммы пакета, принятого от вариатора";
        QTest::newRow("error report 5") << int(SimFault::ErrorReport) << 5
                                        << "UARTdataExchange: Вариатор отвечает параметром 0xFF с кодом ошибки 5";
        QTest::newRow("error report 1")
            << int(SimFault::ErrorReport) << 1
            << "UARTdataExchange: Вариатор сообщает о получении пакета с неверной контрольной суммой";
    }
    void badReplyOnOnePoint()
    {
        QFETCH(int, fault);
        QFETCH(int, argument);
        QFETCH(QString, report);
        sim->AddFault({SimFault(fault), argument, 83});

        // Read: LPG point 3 keeps its value, the others arrive.
        sim->SetValue(83, 5);
        sim->SetValue(84, 6);
        FillTables(1.5);
        w->ReadData->click();
        QCOMPARE(messages, QStringList{report});
        QCOMPARE(LPGTable.Uoz[3], 1.5);
        QCOMPARE(LPGTable.Uoz[4], 0.006);

        // Write: the point does not count as written, even where the reply's
        // data field happens to equal the value sent (5 as the error code,
        // or the correct echo behind a spoilt checksum).
        messages.clear();
        LPGTable.Uoz[3] = 0.005;
        w->WriteData->click();
        QCOMPARE(messages, QStringList({report, LPGMismatch}));
        QCOMPARE(sim->RequestCount(), 162 + 161);
    }

    void shortReplyOnAWrite()
    {
        ShortenTimeouts();
        sim->AddFault({SimFault::Short, 3, 10});
        FillTables(1.0);
        w->WriteData->click();
        QCOMPARE(messages.size(), 2);
        QCOMPARE(messages[1], PetrolMismatch);
    }

    void rangeRefusals_data()
    {
        QTest::addColumn<int>("map");   // 0 LPG, 1 petrol, -1 none
        QTest::addColumn<int>("point");
        QTest::addColumn<double>("uoz");
        QTest::addColumn<QString>("timeout");
        QTest::addColumn<QString>("where");
        const double nan = std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("LPG 40 degrees") << 0 << 12 << 40.0 << "5" << "(карта газа, 1200 об/мин)";
        QTest::newRow("LPG NaN") << 0 << 0 << nan << "5" << "(карта газа, 0 об/мин)";
        QTest::newRow("petrol -32.769") << 1 << 79 << -32.769 << "5" << "(карта бензина, 7900 об/мин)";
        QTest::newRow("petrol 32.768") << 1 << 3 << 32.768 << "5" << "(карта бензина, 300 об/мин)";
        QTest::newRow("timeout 70000") << -1 << 0 << 0.0 << "70000" << "(время до включения вариатора)";
        QTest::newRow("timeout -32769") << -1 << 0 << 0.0 << "-32769" << "(время до включения вариатора)";
        QTest::newRow("map before timeout") << 0 << 1 << -50.0 << "abc" << "(карта газа, 100 об/мин)";
    }
    void rangeRefusals()
    {
        QFETCH(int, map);
        QFETCH(int, point);
        QFETCH(double, uoz);
        QFETCH(QString, timeout);
        QFETCH(QString, where);
        FillTables(1.0);
        if (map == 0)
            LPGTable.Uoz[point] = uoz;
        else if (map == 1)
            PetrolTable.Uoz[point] = uoz;
        w->EEditVariatorStartTimeout->setText(timeout);
        w->WriteData->click();
        QCOMPARE(messages, QStringList{Refused + where});
        QVERIFY(errors.isEmpty());
        QCOMPARE(sim->RequestCount(), 0);
        QVERIFY(!w->ProgressBar1->isVisibleTo(w));
    }

    void timeoutThatIsNoIntegerStopsBeforeSending()
    {
        FillTables(1.0);
        w->EEditVariatorStartTimeout->setText(QStringLiteral("abc"));
        w->WriteData->click();
        QCOMPARE(errors, QStringList{"'abc' is not a valid integer value."});
        QVERIFY(messages.isEmpty());
        QCOMPARE(sim->RequestCount(), 0);

        w->EEditVariatorStartTimeout->setText(QString());
        w->WriteData->click();
        QCOMPARE(errors.back(), QStringLiteral("'' is not a valid integer value."));
        QCOMPARE(sim->RequestCount(), 0);
    }

    void extremeTimeoutsGoOut()
    {
        const struct {
            const char* text;
            int sent;
        } cases[] = {{"32767", 32767}, {"-32768", -32768}, {"$7FFF", 32767}, {" 12", 12}};
        for (const auto& c : cases) {
            w->EEditVariatorStartTimeout->setText(QString::fromLatin1(c.text));
            w->WriteData->click();
            QCOMPARE(int(sim->Value(166)), c.sent);
        }
        QVERIFY(messages.isEmpty());
    }
};

QTEST_MAIN(TestTransfer)
#include "tst_transfer.moc"
