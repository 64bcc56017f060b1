#include "device/wire/Frame.h"
#include "common/ConnectedWindow.h"
#include "app/core/NumberText.h"
#include "editors/widgets/StringGrid.h"

#include <QTabBar>
#include <QMouseEvent>
#include <QApplication>
#include "editors/widgets/ChartWidget.h"
#include "editors/ui/ChartEditor.h"
#include <QLineEdit>
#include <QLineSeries>
#include <QProgressBar>
#include <QPushButton>
#include <QElapsedTimer>
#include <QThread>
#include <QUndoStack>
#include "device/ui/TransferRun.h"
#include "app/core/MapCompare.h"
#include <cmath>
#include <functional>
#include <limits>

namespace {

const QString& NoReply = NoReplyMessage;
const QString& BadChecksum = BadChecksumMessage;
QString Report5() { return ReportedCodeMessage + "5"; }
const QString& Report1 = ReportedChecksumMessage;
// No frame went out at all.
const int Nothing = -100000;

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

class TestTransfer : public QObject, public ConnectedWindow {
    Q_OBJECT

    // Fills both tables with a value no exchange of these tests answers.
    static void FillTables(double value)
    {
        FillMaps([value](int) { return value; }, [value](int) { return value; });
    }

    // Where the LPG chart draws value v at the speed of point i.
    QPoint LPGValueAt(int i, double v) const
    {
        TChart* c = w->ChartLPG;
        return c->mapFromScene(c->chart()->mapToScene(c->chart()->mapToPosition(QPointF(100.0 * i, v), c->MapSeries())));
    }
    // Presses on the LPG marker of point i and drags it to value v.
    void HoldLPGMarker(int i, double v)
    {
        QWidget* view = w->ChartLPG->viewport();
        QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, w->ChartLPG->PointPosition(i).toPoint());
        QTest::mouseMove(view, LPGValueAt(i, (LPGTable.Uoz[i] + v) / 2));
        QTest::mouseMove(view, LPGValueAt(i, v));
    }
    // The map chart of LPG on screen, the variator holding what was read.
    void ReadAndShowLPGChart()
    {
        StoreMaps(*sim, [](int) { return 1000; }, [](int) { return 0; });
        sim->SetValue(166, 0);
        w->ReadData->click();
        ShowWindow();
        w->PageControl1->setCurrentWidget(w->TabSheetLPGmap);
        QCoreApplication::processEvents();
        MouseInLPGChart = 1;
        sim->ClearRequests();
    }
    // Runs what once, when a running transfer's progress reaches 10.
    QMetaObject::Connection AtTen(bool& met, std::function<void()> what)
    {
        return connect(w->ProgressBar1, &QProgressBar::valueChanged, w, [this, &met, what](int i) {
            if (i == 10 && !met && TransferRunning()) {
                met = true;
                what();
            }
        });
    }

private slots:
    void initTestCase() { InitRuntime(); }
    void init() { ConnectWindow(5); }
    void cleanup() { CleanupWindow(); }

    void fullRead()
    {
        StoreMaps(*sim, LPGCode, PetrolCode);
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

        QCOMPARE(sim->RequestCount(), 162);

        // Both views of both maps were reloaded.
        QCOMPARE(w->LineSeries1->count(), MapPoints);
        QCOMPARE(w->LineSeries1->at(7).y(), LPGCode(7) / 1000.0);
        QCOMPARE(w->Series1->at(7).y(), PetrolCode(7) / 1000.0);
        QCOMPARE(w->StringGridLPG->Cell(1, 1), QStringLiteral("-0.001"));
        QCOMPARE(w->StringGridPetrol->Cell(1, 1), QStringLiteral("20"));
        QVERIFY(!w->ProgressBar1->isVisibleTo(w));
        QVERIFY(!w->LabelProgress->isVisibleTo(w));
    }

    void fullWrite()
    {
        FillMaps([](int i) { return LPGCode(i) / 1000.0; }, [](int i) { return PetrolCode(i) / 1000.0; });
        w->EEditVariatorStartTimeout->setText(QStringLiteral("-1"));
        w->MicroCodeVersionEdit->setText(QStringLiteral("77"));
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        // The caption under the bar at each of its paints, and what the label
        // itself painted.
        PaintRecorder captionAtBar;
        captionAtBar.what = [this] {
            return w->LabelProgress->isVisible() ? w->LabelProgress->text() : QStringLiteral("hidden");
        };
        PaintRecorder label;
        label.what = [this] { return w->LabelProgress->text(); };
        w->ProgressBar1->installEventFilter(&captionAtBar);
        w->LabelProgress->installEventFilter(&label);
        w->WriteData->click();
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

        QCOMPARE(sim->RequestCount(), 161);
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
        for (QPushButton* button : {w->ReadData, w->WriteData}) {
            sim->ClearRequests();
            bar.shown.clear();
            offset = 0;
            last = -1;
            button->click();
            QCOMPARE(early, QStringList());
            QCOMPARE(bar.shown, positions + positions);
            const bool read = button == w->ReadData;
            const auto requests = sim->Requests();
            QCOMPARE(int(requests.size()), read ? 162 : 161);
            for (int k = 0; k < int(requests.size()); ++k) {
                const int parameter = k < 80 ? 80 + k : k < 160 ? k - 80 : k == 160 ? 166 : 160;
                unsigned char frame[FrameSize];
                BuildFrame(frame, read ? ReadCommand : WriteCommand, static_cast<unsigned char>(parameter),
                           read ? (k < 160 ? 100 : 1000) : sim->Value(parameter));
                QCOMPARE(Bytes(requests[k]), QByteArray(reinterpret_cast<const char*>(frame), FrameSize));
            }
        }
        w->ProgressBar1->removeEventFilter(&bar);
        QVERIFY(messages.isEmpty());
    }

    // A variator that falls silent at LPG point 3 ends the read after that
    // exchange: its one message, shown after its bar position was painted,
    // then one summary; the link is closed and "Подключиться" works at once.
    void silentVariatorEndsTheRead()
    {
        ShortenTimeouts();
        sim->AddFault(Fault(SimFault::Silent, 0, 80 + 3));
        FillTables(1.5);
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
        QCOMPARE(messages, QStringList({NoReply, "Чтение прервано: вариатор не отвечает. Прочитано точек: 3 из 160 "
                                                 "(газ: 3 из 80, бензин: 0 из 80). Остальные точки сохранили прежние "
                                                 "значения. Время до включения не прочитано. Версия прошивки не прочитана."}));
        QCOMPARE(barAtMessage.first(), QStringLiteral("3"));
        QCOMPARE(sim->RequestCount(), 4);
        QCOMPARE(LPGTable.Uoz[3], 1.5);
        QCOMPARE(w->Label2->text(), DisconnectedCaption);
        QCOMPARE(int(VariatorConnected), 0);
        QVERIFY(!VariatorPort->IsOpen());
        ConnectTo(5);
    }

    // The cable pulled in the middle of a write: the first exchange without
    // a reply ends it, and the summary says what the variator holds now.
    void pulledCableEndsTheWrite()
    {
        ShortenTimeouts();
        QVERIFY(AddFaults(*sim, {"hangup,0,from=111"}));  // petrol point 30 on
        FillTables(2.5);
        w->WriteData->click();
        QCOMPARE(messages, QStringList({NoReply,
                                        "Запись прервана: вариатор не отвечает. Записано точек: 110 из 160 (газ: 80 "
                                        "из 80, бензин: 30 из 80). Неизвестно, что вариатор хранит в точках с "
                                        "ошибкой: 1. В неотправленных точках (49) вариатор хранит прежние значения. "
                                        "Время до включения не записано."}));
        QCOMPARE(sim->RequestCount(), 111);
        QCOMPARE(w->Label2->text(), DisconnectedCaption);
        QCOMPARE(statusAtMessage.back(), DisconnectedCaption);
        QVERIFY(!VariatorPort->IsOpen());
        QCOMPARE(KnownPoints(), 0);
    }

    // A stop ends a transfer after the exchange in flight, with the summary;
    // meanwhile no command or edit starts, and a close of the window waits
    // for the end of the transfer and then asks as usual.
    void stopAfterTheExchangeInFlight_data()
    {
        QTest::addColumn<bool>("write");
        QTest::addColumn<int>("how");  // 0 Escape, 1 "Прервать", 2 the window's close
        QTest::addColumn<QString>("summary");
        const QString read = "Чтение прервано пользователем. Прочитано точек: 11 из 160 (газ: 11 из 80, бензин: 0 из "
                             "80). Остальные точки сохранили прежние значения. Время до включения не прочитано. "
                             "Версия прошивки не прочитана.";
        QTest::newRow("Escape, read") << false << 0 << read;
        QTest::newRow("Прервать, write") << true << 1
            << "Запись прервана пользователем. Записано точек: 11 из 160 (газ: 11 из 80, бензин: 0 из 80). В "
               "неотправленных точках (149) вариатор хранит прежние значения. Время до включения не записано.";
        QTest::newRow("close, read") << false << 2 << read;
    }
    void stopAfterTheExchangeInFlight()
    {
        QFETCH(bool, write);
        QFETCH(int, how);
        QFETCH(QString, summary);
        FillTables(1.5);
        ShowWindow();
        int asked = 0;
        bool askedWhileRunning = false;
        SetYesNoCancelHook([&](const QString&) {
            ++asked;
            askedWhileRunning = TransferRunning();
            return Answer::Cancel;
        });
        // At LPG point 10, while its request is on the line.
        const auto at10 = connect(w->ProgressBar1, &QProgressBar::valueChanged, w, [&](int i) {
            if (i != 10)
                return;
            MouseInLPGChart = 1;
            QTest::keyClick(w->ChartLPG, Qt::Key_Up);
            QTest::mouseClick(w->ReadData, Qt::LeftButton);
            if (how == 0)
                QTest::keyClick(w->ChartLPG, Qt::Key_Escape);
            else if (how == 1)
                QTest::mouseClick(w->StopTransferButton, Qt::LeftButton);
            else
                w->close();
        });
        QVERIFY(!w->StopTransferButton->isVisible());
        (write ? w->WriteData : w->ReadData)->click();
        disconnect(at10);
        QCoreApplication::processEvents();
        QCOMPARE(messages, QStringList{summary});
        QCOMPARE(sim->RequestCount(), 11);
        QCOMPARE(LPGTable.Uoz[20], 1.5);
        QCOMPARE(w->UndoStack->count(), write ? 0 : 1);
        QCOMPARE(w->Label2->text(), ConnectedCaption);
        QVERIFY(!w->StopTransferButton->isVisible());
        QCOMPARE(asked, how == 2 ? 1 : 0);
        QVERIFY(!askedWhileRunning);
        QVERIFY(w->isVisible());
    }

    // While a transfer runs, the user's input is dropped whole, the commands
    // stand disabled, and a change of the map store in between does not reach
    // the variator: it gets the maps as they were at the first frame.
    void inputDuringATransferIsDropped_data()
    {
        QTest::addColumn<bool>("live");
        QTest::addColumn<QString>("input");
        for (bool live : {false, true})
            for (const char* input : {"drag", "cell and keys", "Ctrl+Z", "page", "commands", "store changed"})
                QTest::addRow("%s, %s", live ? "live" : "write", input) << live << QString::fromLatin1(input);
    }
    void inputDuringATransferIsDropped()
    {
        QFETCH(bool, live);
        QFETCH(QString, input);
        ReadAndShowLPGChart();
        if (input == "cell and keys")
            w->PageControl1->setCurrentWidget(w->TabSheetUOZGrid);
        QWidget* page = w->PageControl1->currentWidget();
        w->N51->setChecked(live);
        w->Button1->click();  // the template: a step, and a change to write
        const int steps = w->UndoStack->count();
        sim->ClearRequests();
        bool met = false;
        const auto meddle = AtTen(met, [&] {
            if (input == "drag") {
                HoldLPGMarker(40, 14.0);
                QTest::mouseRelease(w->ChartLPG->viewport(), Qt::LeftButton, Qt::NoModifier, LPGValueAt(40, 14.0));
            } else if (input == "cell and keys") {
                ClickCell(w->StringGridLPG, 5, 5);  // point 44
                QTest::keyClicks(w->StringGridLPG, QStringLiteral("15"));
                QTest::keyClick(w->StringGridLPG, Qt::Key_Return);
            } else if (input == "Ctrl+Z") {
                QTest::keyClick(w->ChartLPG, Qt::Key_Z, Qt::ControlModifier);
            } else if (input == "page") {
                QTabBar* tabs = w->PageControl1->tabBar();
                QTest::mouseClick(tabs, Qt::LeftButton, Qt::NoModifier, tabs->tabRect(0).center());
            } else if (input == "commands") {
                QTest::keyClick(w->ChartLPG, Qt::Key_W, Qt::ControlModifier | Qt::ShiftModifier);
                QTest::mouseClick(w->ReadData, Qt::LeftButton);
                w->N19->trigger();
                w->N12->trigger();
                w->N51->trigger();
            } else {
                LPGTable.Uoz[70] = 20.0;
            }
        });
        if (!live)
            w->WriteData->click();
        QTRY_COMPARE_WITH_TIMEOUT(sim->RequestCount(), live ? 320 : 161, 20000);
        disconnect(meddle);
        QTest::qWait(400);
        QVERIFY(met);
        QCOMPARE(sim->RequestCount(), live ? 320 : 161);
        QCOMPARE(messages, QStringList());
        if (input == "store changed")
            LPGTable.Uoz[70] = 9.0;
        for (int i = 0; i < MapPoints; ++i) {
            QCOMPARE(LPGTable.Uoz[i], 9.0);
            QCOMPARE(int(sim->Value(LPGFirstParameter + i)), 9000);
            QCOMPARE(int(sim->Value(PetrolFirstParameter + i)), 2000);
        }
        QVERIFY(w->UndoStack->count() == steps && w->UndoStack->index() == steps);
        QCOMPARE(w->PageControl1->currentWidget(), page);
        QVERIFY(!w->StringGridLPG->Editor());
        QCOMPARE(w->N51->isChecked(), live);
        QVERIFY(w->N19->isEnabled() && w->N50->isEnabled() && w->N15->isEnabled());
    }

    // While a marker is held no transfer starts: "Записать изменения" and
    // the write are refused quietly, and live writing waits for the end of
    // the drag; then it sends what the screen shows: the drag's step after a
    // release, the values before it after Escape or Ctrl+Z. A transfer that
    // starts all the same puts the marker back before its first frame and
    // drops the release; after the drag nothing follows the pointer.
    void heldMarkerHoldsTransfersOff_data()
    {
        QTest::addColumn<int>("how");  // 0 release, 1 Escape, 2 Ctrl+Z, 3 a transfer starts
        QTest::newRow("release") << 0;
        QTest::newRow("Escape") << 1;
        QTest::newRow("Ctrl+Z") << 2;
        QTest::newRow("transfer starts") << 3;
    }
    void heldMarkerHoldsTransfersOff()
    {
        QFETCH(int, how);
        ReadAndShowLPGChart();
        w->N51->setChecked(true);
        w->LPGFulMapMoveCheckBox->setChecked(false);
        QWidget* view = w->ChartLPG->viewport();
        QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, w->ChartLPG->PointPosition(60).toPoint());
        QTest::keyClick(w->ChartLPG, Qt::Key_Up);  // 6000 rpm: 1.5
        HoldLPGMarker(30, 3.0);
        QCOMPARE(LPGTable.Uoz[30], 3.0);
        w->N50->trigger();
        w->WriteData->click();
        QTest::qWait(700);  // the live write of the Up fell due meanwhile
        QCOMPARE(sim->RequestCount(), 0);
        if (how == 0) {
            QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, LPGValueAt(30, 3.0));
        } else if (how == 1) {
            QTest::keyClick(w->ChartLPG, Qt::Key_Escape);
        } else if (how == 2) {
            QTest::keyClick(w->ChartLPG, Qt::Key_Z, Qt::ControlModifier);
        } else {
            WindowTransfer t(w, TransferKind::Write);
            QVERIFY(!w->ChartLPG->MarkerHeld());
            QCOMPARE(LPGTable.Uoz[30], 1.0);
            QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, LPGValueAt(30, 3.0));
        }
        const bool kept = how == 0;
        QTRY_COMPARE_WITH_TIMEOUT(sim->RequestCount(), kept ? 4 : 2, 10000);
        if (how == 1 || how == 2)
            QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, LPGValueAt(30, 3.0));
        const QPoint hover = LPGValueAt(30, 6.0);  // no button held
        QMouseEvent move(QEvent::MouseMove, hover, view->mapToGlobal(hover), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(view, &move);
        QTest::qWait(400);
        QCOMPARE(sim->RequestCount(), kept ? 4 : 2);
        QCOMPARE(int(sim->Value(LPGFirstParameter + 60)), 1500);
        QCOMPARE(int(sim->Value(LPGFirstParameter + 30)), kept ? 3000 : 1000);
        QCOMPARE(LPGTable.Uoz[30], kept ? 3.0 : 1.0);
        QCOMPARE(w->UndoStack->count(), kept ? 3 : 2);
        QCOMPARE(w->UndoStack->index(), w->UndoStack->count());
        QVERIFY(messages.isEmpty());
    }

    // Escape stops a live write as it stops the user's own write: after the
    // exchange in flight, with the summary; the tick stays as the user left
    // it, and the next change sends what the variator is not known to hold.
    void escapeStopsALiveWriteAndLeavesTheTick()
    {
        ReadAndShowLPGChart();
        w->N51->setChecked(true);
        bool met = false;
        const auto at10 = AtTen(met, [this] { QTest::keyClick(w->ChartLPG, Qt::Key_Escape); });
        QTest::keyClick(w->ChartLPG, Qt::Key_Up);  // the whole map: 1.5
        QTRY_VERIFY_WITH_TIMEOUT(!messages.isEmpty(), 10000);
        disconnect(at10);
        QCOMPARE(messages, QStringList{"Запись прервана пользователем. Записано точек: 11 из 80 (газ: 11 из 80). В "
                                       "неотправленных точках (69) вариатор хранит прежние значения."});
        QCOMPARE(sim->RequestCount(), 11);
        QVERIFY(w->N51->isChecked());
        QTest::keyClick(w->ChartLPG, Qt::Key_Down);  // 1.0 again: the 11 written go back
        QTRY_COMPARE_WITH_TIMEOUT(sim->RequestCount(), 11 + 22, 10000);
        QCOMPARE(int(sim->Value(LPGFirstParameter + 5)), 1000);
    }

    // A change whose live write falls due while another transfer runs is
    // written after that transfer.
    void liveWriteDueDuringACompareIsWrittenAfterIt()
    {
        ReadAndShowLPGChart();
        w->N51->setChecked(true);
        QTest::keyClick(w->ChartLPG, Qt::Key_Up);  // the whole map: 1.5
        bool waited = false;
        const auto wait = AtTen(waited, [] { QTest::qWait(500); });
        w->N19->trigger();
        disconnect(wait);
        QVERIFY(waited);
        QCOMPARE(sim->RequestCount(), 160);
        QTRY_COMPARE_WITH_TIMEOUT(sim->RequestCount(), 320, 20000);
        for (int i = 0; i < MapPoints; ++i)
            QCOMPARE(int(sim->Value(LPGFirstParameter + i)), 1500);
    }

    // "Записать изменения" sends exactly the points and the start timeout
    // the variator is not known to hold, then reads those points back.
    void writeChangesSendsOnlyTheChanges()
    {
        StoreMaps(*sim, [](int i) { return 1000 + i; }, [](int i) { return i; });
        sim->SetValue(166, 45);
        w->ReadData->click();
        QCOMPARE(messages, QStringList());
        sim->ClearRequests();
        w->N50->trigger();
        QCOMPARE(messages, QStringList{"Изменений для записи нет"});
        QCOMPARE(sim->RequestCount(), 0);

        messages.clear();
        LPGTable.Uoz[7] = 2.5;
        LPGTable.Uoz[9] = 1.0094;  // 1009 on the wire: the code it holds
        PetrolTable.Uoz[0] = -1.25;
        w->EEditVariatorStartTimeout->setText(QStringLiteral("46"));
        w->N50->trigger();
        QCOMPARE(messages, QStringList());
        const auto requests = sim->Requests();
        const int expected[][3] = {{WriteCommand, 87, 2500}, {WriteCommand, 0, -1250}, {WriteCommand, 166, 46},
                                   {ReadCommand, 87, 100},   {ReadCommand, 0, 100}};
        QCOMPARE(int(requests.size()), 5);
        for (int k = 0; k < 5; ++k) {
            unsigned char frame[FrameSize];
            BuildFrame(frame, static_cast<unsigned char>(expected[k][0]), static_cast<unsigned char>(expected[k][1]),
                       static_cast<short>(expected[k][2]));
            QCOMPARE(Bytes(requests[k]), QByteArray(reinterpret_cast<const char*>(frame), FrameSize));
        }
        QCOMPARE(LPGReference.Uoz[7], 2.5);
        sim->ClearRequests();
        w->N50->trigger();
        QCOMPARE(messages, QStringList{"Изменений для записи нет"});
        QCOMPARE(sim->RequestCount(), 0);
    }

    // A written point whose read-back fails is neither differing nor a second
    // failure: the summary says it went unchecked.
    void writeChangesTellsAFailedReadBack()
    {
        w->ReadData->click();
        sim->ClearRequests();
        QVERIFY(AddFaults(*sim, {"error,5,param=87,from=2"}));
        messages.clear();
        LPGTable.Uoz[7] = 2.5;
        w->N50->trigger();
        QCOMPARE(messages, QStringList({Report5(), "Запись завершена с ошибками: 1. Записано точек: 1 из 1 (газ: 1 "
                                                   "из 1). Не удалось проверить чтением точек: 1."}));
    }

    // "Записывать изменения сразу": a run of presses is written once, 0.3 s
    // after the last; a key pressed during that write is dropped, as all
    // input during a transfer; the first failure unticks it and shows the
    // summary.
    void liveWritingCoalescesARunOfPresses()
    {
        StoreMaps(*sim, [](int) { return 1000; }, [](int) { return 0; });
        sim->SetValue(166, 0);
        w->ReadData->click();
        w->N51->setChecked(true);
        w->LPGFulMapMoveCheckBox->setChecked(false);
        MouseInLPGChart = 1;
        QTest::keyClick(w->ChartLPG, Qt::Key_Right);  // point 1
        sim->ClearRequests();
        bool pressed = false;
        const auto during = connect(w->ProgressBar1, &QProgressBar::valueChanged, w, [&](int i) {
            if (i == 1 && !pressed && TransferRunning()) {
                pressed = true;
                QTest::keyClick(w->ChartLPG, Qt::Key_Up);
            }
        });
        for (int k = 0; k < 4; ++k) {
            QTest::keyClick(w->ChartLPG, Qt::Key_Up);
            QTest::qWait(150);
            QCOMPARE(sim->RequestCount(), 0);
        }
        // The run written and read back; the press made during its write
        // changed nothing.
        QTRY_COMPARE_WITH_TIMEOUT(sim->RequestCount(), 2, 3000);
        disconnect(during);
        QTest::qWait(400);
        QVERIFY(pressed);
        QCOMPARE(sim->RequestCount(), 2);
        QCOMPARE(int(sim->Value(81)), 3000);
        QCOMPARE(LPGTable.Uoz[1], 3.0);
        QCOMPARE(messages, QStringList());

        ShortenTimeouts();
        sim->AddFault(Fault(SimFault::Silent, 0, 81));
        QTest::keyClick(w->ChartLPG, Qt::Key_Up);
        QTRY_VERIFY_WITH_TIMEOUT(!w->N51->isChecked(), 3000);
        QCOMPARE(messages, QStringList({NoReply,
                                        "Запись прервана: вариатор не отвечает. Записано точек: 0 из 1 "
                                        "(газ: 0 из 1). Неизвестно, что вариатор хранит в точках с ошибкой: 1."}));
        QCOMPARE(w->Label2->text(), DisconnectedCaption);
    }

    // A read is one step that undo takes back exactly, both maps at once; a
    // write changes no map and adds no step.
    void readIsOneStepWriteNone()
    {
        FillMaps([](int i) { return 0.1 * i; }, [](int i) { return -0.01 * i; });
        const MapTable lpg = LPGTable;
        const MapTable petrol = PetrolTable;
        QUndoStack* stack = w->UndoStack;
        w->WriteData->click();
        QVERIFY(messages.isEmpty());
        QCOMPARE(stack->count(), 0);
        QVERIFY(SameTable(lpg, LPGTable));

        StoreMaps(*sim, [](int i) { return 1000 + i; }, [](int i) { return -1000 - i; });
        w->ReadData->click();
        QCOMPARE(stack->count(), 1);
        QCOMPARE(LPGTable.Uoz[5], 1.005);
        stack->undo();
        QVERIFY(SameTable(lpg, LPGTable));
        QVERIFY(SameTable(petrol, PetrolTable));
        QCOMPARE(w->StringGridPetrol->Cell(1, 2), QStringLiteral("-0.01"));
        stack->redo();
        QCOMPARE(PetrolTable.Uoz[5], -1.005);
    }

    void notConnectedCaptions_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::newRow("lower case") << "подключен";
        QTest::newRow("trailing space") << "Подключен ";
        QTest::newRow("disconnected") << DisconnectedCaption;
        QTest::newRow("never connected") << "";  // hidden, with the caption "Не подключен"
    }
    void notConnectedCaptions()
    {
        // The caption decides, not the flag: the link itself is up.
        QFETCH(QString, caption);
        if (caption.isEmpty()) {
            delete w;
            w = new TForm2;
            Form2 = w;
            caption = w->Label2->text();
        }
        w->Label2->setText(caption);
        FillTables(1.5);
        w->EEditVariatorStartTimeout->setText(QStringLiteral("3"));

        w->ReadData->click();
        QCOMPARE(messages, QStringList{DisconnectedMessage});
        QCOMPARE(w->Label2->text(), caption);

        w->WriteData->click();
        QCOMPARE(messages, QStringList({DisconnectedMessage, DisconnectedMessage}));
        // The write command turns the status to disconnected before its message.
        QCOMPARE(statusAtMessage.back(), DisconnectedCaption);
        QCOMPARE(w->Label2->text(), DisconnectedCaption);

        QCOMPARE(sim->RequestCount(), 0);
        QCOMPARE(LPGTable.Uoz[0], 1.5);
        QCOMPARE(w->EEditVariatorStartTimeout->text(), QStringLiteral("3"));
    }

    // A point whose exchange fails keeps its value and the read goes on; the
    // start timeout and the firmware version keep theirs when theirs fails.
    void readKeepsWhatFailed_data()
    {
        QTest::addColumn<QString>("fault");  // as the simulator's --fault takes it
        QTest::addColumn<QList<int>>("kept"); // parameters whose points keep their values
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QString>("timeout");
        QTest::addColumn<QString>("firmware");
        const QList<int> none;
        const QString oneMissing = "Чтение завершено с ошибками: 1. Прочитано точек: 159 из 160 (газ: 79 из 80, бензин: "
                                   "80 из 80). Остальные точки сохранили прежние значения. Время до включения прочитано.";
        const QString noFirmware = "Чтение завершено с ошибками: 1. Прочитано точек: 160 из 160 (газ: 80 из 80, "
                                   "бензин: 80 из 80). Время до включения прочитано. Версия прошивки не прочитана.";
        QTest::newRow("bad checksum, LPG 3") << "bad-crc,param=83" << QList<int>{83} << QStringList{BadChecksum, oneMissing} << "45" << "46";
        QTest::newRow("error report 5, LPG 3") << "error,5,param=83" << QList<int>{83} << QStringList{Report5(), oneMissing} << "45" << "46";
        QTest::newRow("error report 1, LPG 3") << "error,1,param=83" << QList<int>{83} << QStringList{Report1, oneMissing} << "45" << "46";
        // Two failures: the box of the first, both counted.
        QTest::newRow("bad checksum, LPG 3 and 4") << "bad-crc,param=83;bad-crc,param=84" << QList<int>{83, 84}
            << QStringList{BadChecksum, "Чтение завершено с ошибками: 2. Прочитано точек: 158 из 160 (газ: 78 из 80, "
                                        "бензин: 80 из 80). Остальные точки сохранили прежние значения. Время до "
                                        "включения прочитано."} << "45" << "46";
        // The start timeout arrives; the firmware version that follows it
        // fails and must not take the start timeout's value or any other.
        QTest::newRow("bad checksum, firmware") << "bad-crc,param=160" << none << QStringList{BadChecksum, noFirmware} << "45" << "8";
        QTest::newRow("error report, firmware") << "error,5,param=160" << none << QStringList{Report5(), noFirmware} << "45" << "8";
        QTest::newRow("silent firmware") << "silent,param=160" << none
            << QStringList{NoReply, "Чтение прервано: вариатор не отвечает. Прочитано точек: 160 из 160 (газ: 80 из 80, "
                                    "бензин: 80 из 80). Время до включения прочитано. Версия прошивки не прочитана."}
            << "45" << "8";
    }
    void readKeepsWhatFailed()
    {
        QFETCH(QString, fault);
        QFETCH(QList<int>, kept);
        QFETCH(QStringList, shown);
        QFETCH(QString, timeout);
        QFETCH(QString, firmware);
        ShortenTimeouts();
        StoreMaps(*sim, [](int i) { return 1000 + i; }, [](int i) { return i; });
        sim->SetValue(166, 45);
        sim->SetValue(160, 46);
        QVERIFY(AddFaults(*sim, fault.split(';')));
        FillTables(1.5);
        w->EEditVariatorStartTimeout->setText(QStringLiteral("7"));
        w->MicroCodeVersionEdit->setText(QStringLiteral("8"));
        w->ReadData->click();

        QCOMPARE(messages, shown);
        QCOMPARE(sim->RequestCount(), 162);
        for (int i = 0; i < MapPoints; ++i) {
            QCOMPARE(LPGTable.Uoz[i], kept.contains(80 + i) ? 1.5 : (1000 + i) / 1000.0);
            QCOMPARE(PetrolTable.Uoz[i], kept.contains(i) ? 1.5 : i / 1000.0);
        }
        QCOMPARE(w->EEditVariatorStartTimeout->text(), timeout);
        QCOMPARE(w->MicroCodeVersionEdit->text(), firmware);
    }

    // A point whose exchange fails does not count as written, even where the
    // reply's data field happens to equal the value sent (5 as the error
    // code, or the correct echo behind a spoilt checksum); the write goes on.
    void writeGoesOnPastAFailedPoint_data()
    {
        QTest::addColumn<QString>("fault");  // as the simulator's --fault takes it
        QTest::addColumn<QStringList>("shown");
        const QString lpgMissing = "Запись завершена с ошибками: 1. Записано точек: 159 из 160 (газ: 79 из 80, бензин: "
                                   "80 из 80). Неизвестно, что вариатор хранит в точках с ошибкой: 1. Время до "
                                   "включения записано.";
        QTest::newRow("wrong echo, LPG 5") << "wrong-echo,1,param=85" << QStringList{LPGWriteMismatch, lpgMissing};
        QTest::newRow("bad checksum, LPG 3") << "bad-crc,param=83" << QStringList{BadChecksum, LPGWriteMismatch, lpgMissing};
        QTest::newRow("error report 5, LPG 3") << "error,5,param=83" << QStringList{Report5(), LPGWriteMismatch, lpgMissing};
        QTest::newRow("error report 1, LPG 3") << "error,1,param=83" << QStringList{Report1, LPGWriteMismatch, lpgMissing};
        // A reply that breaks off comes from a variator that still answers.
        QTest::newRow("short reply, petrol 10")
            << "short,3,param=10"
            << QStringList{NoReply, PetrolWriteMismatch,
                           "Запись завершена с ошибками: 1. Записано точек: 159 из 160 (газ: 80 из 80, бензин: 79 из "
                           "80). Неизвестно, что вариатор хранит в точках с ошибкой: 1. Время до включения записано."};
    }
    void writeGoesOnPastAFailedPoint()
    {
        QFETCH(QString, fault);
        QFETCH(QStringList, shown);
        ShortenTimeouts();
        QVERIFY(AddFaults(*sim, {fault}));
        FillTables(2.5);
        LPGTable.Uoz[3] = 0.005;
        w->EEditVariatorStartTimeout->setText(QStringLiteral("9"));
        w->WriteData->click();
        QCOMPARE(messages, shown);
        QCOMPARE(sim->RequestCount(), 161);
        QCOMPARE(int(sim->Value(86)), 2500);
        QCOMPARE(int(sim->Value(77)), 2500);
        QCOMPARE(int(sim->Value(166)), 9);
        QCOMPARE(w->Label2->text(), ConnectedCaption);
    }

    // What the values and the start timeout text let a write send: a value
    // beyond the wire is refused with a message, a timeout that is no integer
    // goes to the error box, and either way not one frame goes out.
    void whatAWriteSends_data()
    {
        QTest::addColumn<int>("map");   // 0 LPG, 1 petrol, -1 none
        QTest::addColumn<int>("point");
        QTest::addColumn<double>("uoz");
        QTest::addColumn<QString>("timeout");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("error");
        QTest::addColumn<int>("sent");  // the start timeout as written; Nothing: no frame at all
        const double nan = std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("LPG 40 degrees") << 0 << 12 << 40.0 << "5" << WriteRefusal("(карта газа, 1200 об/мин)") << "" << Nothing;
        QTest::newRow("LPG NaN") << 0 << 0 << nan << "5" << WriteRefusal("(карта газа, 0 об/мин)") << "" << Nothing;
        QTest::newRow("petrol -32.769") << 1 << 79 << -32.769 << "5" << WriteRefusal("(карта бензина, 7900 об/мин)") << "" << Nothing;
        QTest::newRow("petrol 32.768") << 1 << 3 << 32.768 << "5" << WriteRefusal("(карта бензина, 300 об/мин)") << "" << Nothing;
        QTest::newRow("timeout 70000") << -1 << 0 << 0.0 << "70000" << WriteRefusal("(время до включения вариатора)") << "" << Nothing;
        QTest::newRow("timeout -32769") << -1 << 0 << 0.0 << "-32769" << WriteRefusal("(время до включения вариатора)") << "" << Nothing;
        QTest::newRow("map before timeout") << 0 << 1 << -50.0 << "abc" << WriteRefusal("(карта газа, 100 об/мин)") << "" << Nothing;
        QTest::newRow("timeout abc") << -1 << 0 << 0.0 << "abc" << "" << "'abc' is not a valid integer value." << Nothing;
        QTest::newRow("timeout empty") << -1 << 0 << 0.0 << "" << "" << "'' is not a valid integer value." << Nothing;
        QTest::newRow("timeout 32767") << -1 << 0 << 0.0 << "32767" << "" << "" << 32767;
        QTest::newRow("timeout -32768") << -1 << 0 << 0.0 << "-32768" << "" << "" << -32768;
        QTest::newRow("timeout $7FFF") << -1 << 0 << 0.0 << "$7FFF" << "" << "" << 32767;
        QTest::newRow("timeout with a space") << -1 << 0 << 0.0 << " 12" << "" << "" << 12;
    }
    void whatAWriteSends()
    {
        QFETCH(int, map);
        QFETCH(int, point);
        QFETCH(double, uoz);
        QFETCH(QString, timeout);
        QFETCH(QString, message);
        QFETCH(QString, error);
        QFETCH(int, sent);
        FillTables(1.0);
        if (map == 0)
            LPGTable.Uoz[point] = uoz;
        else if (map == 1)
            PetrolTable.Uoz[point] = uoz;
        w->EEditVariatorStartTimeout->setText(timeout);
        w->WriteData->click();
        QCOMPARE(messages, message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(errors, error.isEmpty() ? QStringList() : QStringList{error});
        QCOMPARE(sim->RequestCount(), sent == Nothing ? 0 : 161);
        QVERIFY(!w->ProgressBar1->isVisibleTo(w));
        if (sent != Nothing)
            QCOMPARE(int(sim->Value(166)), sent);
    }
};

QTEST_MAIN(TestTransfer)
#include "tst_transfer.moc"
