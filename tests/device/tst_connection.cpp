#include "common/LinkFixture.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

namespace {

const QString Prefix = QStringLiteral("Попытка подключения к com-порту");
const QString Refused = QStringLiteral("Неверный номер порта");

QString Path(int number)
{
    return QStringLiteral("\\\\.\\COM%1").arg(number);
}

} // namespace

class TestConnection : public QObject, public LinkFixture {
    Q_OBJECT

private slots:
    void initTestCase() { InitRuntime(); }
    void init() { InitWindow(); }
    void cleanup() { CleanupWindow(); }

    // "Подключение" with the text of the port box: a number that names the
    // variator connects; one that is no integer goes to the error box; one
    // out of range is refused before any port is touched; one that names no
    // device fails at the open. Each message comes before the status shows.
    void connectByTheBox_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("path");   // left in PortName
        QTest::addColumn<QString>("status"); // Label2 afterwards; empty: hidden
        const QString invalid = QStringLiteral("'%1' is not a valid integer value.");
        const QString failed = QStringLiteral("Не удалось подключиться");
        for (const char* text : {"5", "05", " 5", "$5"})
            QTest::newRow(text) << text << "Вариатор подключен" << "" << Path(5) << ConnectedCaption;
        for (const char* text : {"abc", "", "5 "})
            QTest::newRow(qPrintable(QStringLiteral("'%1'").arg(text))) << text << "" << invalid.arg(text) << "" << "";
        for (const char* text : {"0", "1000", "-100", "2147483647", "-2147483648"})
            QTest::newRow(text) << text << Refused << "" << "" << "";
        for (int number : {-3, -99, 999, 200})  // 200: no alias, no device
            QTest::newRow(qPrintable(QString::number(number)))
                << QString::number(number) << failed << "" << Path(number) << DisconnectedCaption;
    }
    void connectByTheBox()
    {
        QFETCH(QString, text);
        QFETCH(QString, message);
        QFETCH(QString, error);
        QFETCH(QString, path);
        QFETCH(QString, status);
        VariatorSim* sim = AddSim(5);
        w->ComboBox1->setEditText(text);
        w->N9->trigger();

        const bool connected = status == ConnectedCaption;
        QCOMPARE(messages, message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(statusAtMessage, message.isEmpty() ? QStringList() : QStringList{"hidden"});
        QCOMPARE(errors, error.isEmpty() ? QStringList() : QStringList{error});
        QCOMPARE(QString::fromLatin1(PortName), path);
        QCOMPARE(w->Label2->isVisibleTo(w), !status.isEmpty());
        if (!status.isEmpty())
            QCOMPARE(w->Label2->text(), status);
        QCOMPARE(int(VariatorConnected), int(connected));
        QCOMPARE(VariatorPort->IsOpen(), connected);
        const auto requests = sim->Requests();
        QCOMPARE(int(requests.size()), int(connected));
        if (connected)
            QCOMPARE(Bytes(requests[0]), QByteArray::fromHex("55FF000B33B6"));

        // Called directly, the connect refuses those that do not fit, silently.
        if (message != Refused || text == QLatin1String("0"))
            return;
        messages.clear();
        QCOMPARE(int(ConnectVariator(text.toInt(), 0)), 0);
        QVERIFY(messages.isEmpty());
        QVERIFY(!w->Label2->isVisibleTo(w));
    }

    // The port stays open after a silent variator, as the message says; the
    // next connect closes it and tries again.
    void silentPortIsLeftOpenUntilTheNextConnect()
    {
        // One interactive connect to a silent port: 7 s (T = 1000 ms).
        VariatorSim* sim = AddSim(5);
        sim->AddFault(Fault(SimFault::Silent));
        w->ComboBox1->setEditText(QStringLiteral("5"));
        QElapsedTimer clock;
        clock.start();
        w->N9->trigger();
        QVERIFY2(clock.elapsed() > 6000 && clock.elapsed() < 12000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(messages, QStringList{"Компорт открыт. Вариатор не подключен"});
        QCOMPARE(statusAtMessage, QStringList{"hidden"});
        QCOMPARE(w->Label2->text(), DisconnectedCaption);
        QVERIFY(VariatorPort->IsOpen());
        QCOMPARE(int(VariatorConnected), 0);

        sim->ClearFaults();
        messages.clear();
        w->N9->trigger();
        QCOMPARE(messages, QStringList{"Вариатор подключен"});
        QCOMPARE(w->Label2->text(), ConnectedCaption);
        QCOMPARE(sim->RequestCount(), 2);
    }

    void connectWhileConnectedChangesOnlyThePath()
    {
        VariatorSim* sim = AddSim(5);
        AddSim(6);
        w->ComboBox1->setEditText(QStringLiteral("5"));
        w->N9->trigger();
        messages.clear();
        statusAtMessage.clear();

        w->ComboBox1->setEditText(QStringLiteral("6"));
        w->N9->trigger();
        QCOMPARE(messages, QStringList{"Вариатор уже подключен"});
        QCOMPARE(QString::fromLatin1(PortName), Path(6));
        QCOMPARE(int(VariatorConnected), 1);
        QCOMPARE(w->Label2->text(), ConnectedCaption);
        QCOMPARE(sims[1]->RequestCount(), 0);

        // Nothing is connected by such a call: the result is 0, silently.
        messages.clear();
        QCOMPARE(int(ConnectVariator(7, 0)), 0);
        QVERIFY(messages.isEmpty());
        QCOMPARE(QString::fromLatin1(PortName), Path(7));
        QCOMPARE(int(VariatorConnected), 1);

        // The link still works.
        QCOMPARE(UARTdataExchange(QStringLiteral("read"), 160, 1000, 1), 12);
        QCOMPARE(sim->RequestCount(), 2);
    }

    void handshakeReplies_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("argument");
        QTest::addColumn<bool>("connects");
        QTest::newRow("error report with data 1") << int(SimFault::ErrorReport) << 1 << true;
        QTest::newRow("error report with data 2") << int(SimFault::ErrorReport) << 2 << false;
        QTest::newRow("bad checksum, data 1") << int(SimFault::BadChecksum) << 0 << true;
        QTest::newRow("answer 2") << int(SimFault::WrongEcho) << 1 << false;
        QTest::newRow("foreign header") << int(SimFault::ForeignHeader) << 0 << true;
        QTest::newRow("short reply") << int(SimFault::Short) << 5 << false;
    }
    void handshakeReplies()
    {
        QFETCH(int, fault);
        QFETCH(int, argument);
        QFETCH(bool, connects);
        VariatorSim* sim = AddSim(5);
        sim->AddFault(Fault(SimFault(fault), argument));
        w->ComboBox1->setEditText(QStringLiteral("5"));
        w->N9->trigger();
        // The handshake itself is silent: only the connect's own message.
        QCOMPARE(messages, QStringList{connects ? "Вариатор подключен" : "Компорт открыт. Вариатор не подключен"});
        QCOMPARE(int(VariatorConnected), int(connects));
        QCOMPARE(w->Label2->text(), connects ? ConnectedCaption : DisconnectedCaption);
        QVERIFY(VariatorPort->IsOpen());
    }

    void searchFindsTheVariatorOnSeven()
    {
        // 1 to 4 and 6 fail at the open; 5 is a silent line, tried with the
        // silent time-out (3.5 s, not 7 s); 7 answers.
        AliasToNull(1);
        AliasToNull(2);
        AliasToNull(3);
        AliasToNull(4);
        AliasToNull(6);
        VariatorSim* silentSim = AddSim(5);
        silentSim->AddFault(Fault(SimFault::Silent));
        VariatorSim* sim = AddSim(7);

        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        w->ProgressBar1->setRange(0, 79);
        PaintRecorder label;
        label.what = [this] { return w->LabelProgress->text(); };
        PaintRecorder bar;
        bar.what = [this] { return QString::number(w->ProgressBar1->value()); };
        w->LabelProgress->installEventFilter(&label);
        w->ProgressBar1->installEventFilter(&bar);

        QElapsedTimer clock;
        clock.start();
        w->N4->trigger();
        const qint64 elapsed = clock.elapsed();
        w->LabelProgress->removeEventFilter(&label);
        w->ProgressBar1->removeEventFilter(&bar);

        QVERIFY2(elapsed > 3000 && elapsed < 6500, qPrintable(QString::number(elapsed)));
        QVERIFY(messages.isEmpty());
        QCOMPARE(w->ComboBox1->currentText(), QStringLiteral("7"));
        QCOMPARE(w->Label2->text(), ConnectedCaption);
        QCOMPARE(int(VariatorConnected), 1);
        QCOMPARE(silentSim->RequestCount(), 1);
        QCOMPARE(sim->RequestCount(), 1);
        QStringList captions, positions;
        for (int n = 1; n <= 7; ++n) {
            captions << Prefix + QString::number(n);
            positions << QString::number(n);
        }
        QCOMPARE(label.shown, captions);
        // The first repaint also flushes the bar as just shown, before the
        // first position is set.
        QCOMPARE(bar.shown.mid(bar.shown.indexOf(QStringLiteral("1"))), positions);
        QVERIFY(!w->ProgressBar1->isVisible());
        QVERIFY(!w->LabelProgress->isVisible());
        QCOMPARE(w->ProgressBar1->minimum(), 0);
        QCOMPARE(w->ProgressBar1->maximum(), 79);
    }

    void searchLeavesTheLinkOnItsOwnTimeout()
    {
        // The search opens each port with T = 500 ms; once the variator has
        // answered, the link runs on T = 1000 ms: a silent exchange takes
        // 7 * T = 7 s, not 3.5 s.
        VariatorSim* sim = AddSim(7);
        AutoSelectPort(7, 8);
        QCOMPARE(int(VariatorConnected), 1);
        sim->AddFault(Fault(SimFault::Silent));
        bool valid = true;
        QElapsedTimer clock;
        clock.start();
        UARTdataExchange(QStringLiteral("read"), 160, 1000, 0, &valid);
        const qint64 elapsed = clock.elapsed();
        QVERIFY(!valid);
        QVERIFY2(elapsed > 6000 && elapsed < 12000, qPrintable(QString::number(elapsed)));
    }

    void searchClosesWhatIsOpenFirst()
    {
        // A port left open by a connect that got no answer: the search closes
        // it and tries that number again.
        VariatorSim* sim = AddSim(7);
        sim->AddFault(Fault(SimFault::WrongEcho, 1));
        QCOMPARE(int(ConnectVariator(7, 0)), 0);
        QVERIFY(VariatorPort->IsOpen());
        sim->ClearFaults();
        AutoSelectPort(7, 8);
        QCOMPARE(w->ComboBox1->currentText(), QStringLiteral("7"));
        QCOMPARE(int(VariatorConnected), 1);

        // Started while connected, it finds the variator again.
        w->ComboBox1->setEditText(QStringLiteral("0"));
        AutoSelectPort(6, 9);
        QCOMPARE(w->ComboBox1->currentText(), QStringLiteral("7"));
        QCOMPARE(int(VariatorConnected), 1);
        QCOMPARE(sim->RequestCount(), 3);
        QVERIFY(messages.isEmpty());
    }

    void searchWithNoVariatorAnywhere()
    {
        // Every number that could name a real serial device of this machine
        // is pointed at /dev/null, so that the full scan of 1..254 is fast
        // here; on a machine with real ports each silent one costs 3.5 s.
        for (int n = 1; n <= 96; ++n)
            AliasToNull(n);
        QElapsedTimer clock;
        clock.start();
        w->N4->trigger();
        QVERIFY2(clock.elapsed() < 20000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(messages.isEmpty());
        QCOMPARE(w->ComboBox1->currentText(), QStringLiteral("0"));
        QCOMPARE(w->Label2->text(), DisconnectedCaption);
        QCOMPARE(QString::fromLatin1(PortName), Path(254));
        QVERIFY(!VariatorPort->IsOpen());
        QCOMPARE(int(VariatorConnected), 0);
        QVERIFY(!w->ProgressBar1->isVisibleTo(w));
        QVERIFY(!w->LabelProgress->isVisibleTo(w));
        QCOMPARE(w->ProgressBar1->minimum(), 0);
        QCOMPARE(w->ProgressBar1->maximum(), 79);
    }

    // "Отключение" and closing the window, connected or not: the one message,
    // the status shown red, the port released.
    void disconnecting_data()
    {
        QTest::addColumn<bool>("close");
        QTest::addColumn<bool>("connected");
        QTest::newRow("disconnect, nothing connected") << false << false;
        QTest::newRow("disconnect, connected") << false << true;
        QTest::newRow("close, never connected") << true << false;
        QTest::newRow("close, connected") << true << true;
    }
    void disconnecting()
    {
        QFETCH(bool, close);
        QFETCH(bool, connected);
        AddSim(5);
        if (connected)
            ConnectTo(5);
        w->show();
        if (close)
            QVERIFY(w->close());
        else
            w->N12->trigger();
        QCOMPARE(messages, QStringList{DisconnectedMessage});
        QCOMPARE(statusAtMessage, QStringList{DisconnectedCaption});
        QCOMPARE(w->Label2->text(), DisconnectedCaption);
        QVERIFY(w->Label2->isVisibleTo(w));
        QCOMPARE(w->Label2->palette().color(QPalette::Window), QColor(255, 0, 0));
        QCOMPARE(int(VariatorConnected), 0);
        if (close) {
            QVERIFY(!VariatorPort);
            // Another holder can open the line now.
            ComPort other;
            QCOMPARE(other.Open("\\\\.\\COM5", 9600, 100), 1);
        } else {
            QVERIFY(!VariatorPort->IsOpen());
            ConnectTo(5);  // a fresh connect works again
        }
    }

    void messageBoxBlocksTheOtherCommands()
    {
        // With the real message box: while it is open, a click on the read
        // button does not reach the window.
        SetMessageHook({});
        int clicks = 0;
        connect(w->ReadData, &QPushButton::clicked, this, [&] { ++clicks; });
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        const QPoint readData = w->ReadData->mapTo(w, w->ReadData->rect().center());
        bool sawBox = false;
        QTimer::singleShot(50, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            sawBox = box && box->text() == DisconnectedMessage
                && box->windowModality() == Qt::ApplicationModal;
            QTest::mouseClick(w->windowHandle(), Qt::LeftButton, {}, readData);
            if (box)
                box->button(QMessageBox::Ok)->click();
        });
        w->N12Click();
        QVERIFY(sawBox);
        QCOMPARE(clicks, 0);

        // The same click without a box open does reach the button.
        SetMessageHook([this](const QString& t) { messages << t; });
        QTest::mouseClick(w->windowHandle(), Qt::LeftButton, {}, readData);
        QCOMPARE(clicks, 1);
        QCOMPARE(messages, QStringList{DisconnectedMessage});
    }
};

QTEST_MAIN(TestConnection)
#include "tst_connection.moc"
