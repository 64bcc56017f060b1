// Recovery after a crash in the window: the file following every change, and
// the offer at the next start with its answers, through the seams and with
// the real question box (the folder, the slots and the delayed write alone
// are tst_recoveryfile's).

#include "editors/EditorFixture.h"
#include "common/DialogAnswerer.h"
#include "common/Orphans.h"

#include "mapfile/core/MapFile.h"
#include "app/core/NumberText.h"
#include "app/ui/Session.h"
#include "editors/widgets/StringGrid.h"
#include "app/ui/Undo.h"

#include <QDir>
#include <QFile>
#include <QLineSeries>
#include <QTemporaryDir>
#include <QTimer>
#include <QUndoStack>

namespace {

QStringList RecoveryFiles(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral("recovery-*.xml")}, QDir::Files, QDir::Name);
}

} // namespace

class TestRecovery : public QObject {
    Q_OBJECT

    QTemporaryDir state;
    QString folder;
    EditorFixture f;
    QStringList questions;
    bool answer = true;

    void StartWindow()
    {
        f.Open();
        InitMapStore();
        questions.clear();
        SetQuestionHook([this](const QString& text) {
            questions << text;
            return answer;
        });
    }

private slots:
    void initTestCase()
    {
        QVERIFY(state.isValid());
        qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
        folder = RecoveryFolder();
    }
    void init()
    {
        QDir(folder).removeRecursively();
        answer = true;
    }
    void cleanup()
    {
        EndSession();
        if (f.w)
            f.Close();
        SetQuestionHook({});
        qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
    }

    // The file follows every change within a second, never on the key press
    // itself; a normal end removes it.
    void writtenSoonAfterEveryChange()
    {
        StartWindow();
        StartSession(f.w);
        QVERIFY(questions.isEmpty());
        QVERIFY(RecoveryFiles(folder).isEmpty());
        f.ShowPage(f.w->TabSheetLPGmap);
        MouseInLPGChart = 1;
        QTest::keyClick(f.w->ChartLPG, Qt::Key_Up);
        QVERIFY(RecoveryFiles(folder).isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(RecoveryFiles(folder).size(), 1, 1000);
        const QString file = folder + QLatin1Char('/') + RecoveryFiles(folder).first();
        MapTable lpg{}, petrol{};
        QString timeout;
        ReadRecoveryFile(file, lpg, petrol, timeout);
        QCOMPARE(lpg.Uoz[40], 0.5);
        QCOMPARE(timeout, QStringLiteral("0"));

        f.w->UndoStack->undo();
        f.w->EEditVariatorStartTimeout->setText(QStringLiteral("12"));
        QTRY_VERIFY_WITH_TIMEOUT((ReadRecoveryFile(file, lpg, petrol, timeout), timeout == QStringLiteral("12")), 1000);
        QCOMPARE(lpg.Uoz[40], 0.0);
        // A text no XML file can hold: the maps are still kept.
        f.w->Button1Click();
        f.w->EEditVariatorStartTimeout->setText(QStringLiteral("1\x01"));
        QTRY_VERIFY_WITH_TIMEOUT((ReadRecoveryFile(file, lpg, petrol, timeout), lpg.Uoz[40] == 9.0), 1000);
        QCOMPARE(timeout, QString());

        EndSession();
        QVERIFY(RecoveryFiles(folder).isEmpty());
    }

    // "Да" loads the maps and the start-timeout text as one step that undo
    // takes back; the file is then this run's own.
    void yesRestoresAsOneStep()
    {
        const MapTable lpg = Edited(-5), petrol = Edited(10);
        const QString orphan = LeaveOrphan(folder, lpg, petrol, QStringLiteral("33"));
        QVERIFY(!orphan.isEmpty());
        StartWindow();
        StartSession(f.w);
        QCOMPARE(questions, QStringList{RecoveryQuestion});
        QCOMPARE(RecoveryQuestion,
                 QStringLiteral("Предыдущий сеанс завершился некорректно. Восстановить несохранённые карты?"));
        QVERIFY(SameTable(LPGTable, lpg) && SameTable(PetrolTable, petrol));
        QCOMPARE(f.w->StringGridPetrol->Cell(8, 10), QStringLiteral("19.875"));
        QCOMPARE(f.w->LineSeries1->at(3).y(), lpg.Uoz[3]);
        QCOMPARE(f.w->EEditVariatorStartTimeout->text(), QStringLiteral("33"));
        QVERIFY(!QFile::exists(orphan));
        // Written back at once under this run's slot.
        QTRY_COMPARE_WITH_TIMEOUT(RecoveryFiles(folder).size(), 1, 1000);

        QCOMPARE(f.w->UndoStack->count(), 1);
        f.w->UndoStack->undo();
        QCOMPARE(LPGTable.Uoz[3], 0.0);
        QCOMPARE(PetrolTable.Uoz[79], 0.0);
    }

    // A leftover file is offered when either map differs from the maps the
    // program starts with, and only then; "Нет" deletes it and changes nothing.
    void offeredWhenEitherMapDiffers_data()
    {
        QTest::addColumn<bool>("lpgDiffers");
        QTest::addColumn<bool>("petrolDiffers");
        QTest::newRow("both") << true << true;
        QTest::newRow("gas map only") << true << false;
        QTest::newRow("petrol map only") << false << true;
        QTest::newRow("neither") << false << false;
    }
    void offeredWhenEitherMapDiffers()
    {
        QFETCH(bool, lpgDiffers);
        QFETCH(bool, petrolDiffers);
        const MapTable start = SampleTable([](int) { return 0.0; });
        const QString orphan =
            LeaveOrphan(folder, lpgDiffers ? Edited(1) : start, petrolDiffers ? Edited(2) : start, QStringLiteral("5"));
        answer = false;
        StartWindow();
        StartSession(f.w);
        QCOMPARE(questions.size(), lpgDiffers || petrolDiffers ? 1 : 0);
        QVERIFY(!QFile::exists(orphan));
        QCOMPARE(LPGTable.Uoz[7], 0.0);
        QCOMPARE(PetrolTable.Uoz[7], 0.0);
        QCOMPARE(f.w->UndoStack->count(), 0);
    }

    // A damaged file is reported and deleted without a question, and nothing
    // of it reaches the maps: not garbage, and not the half of a good file.
    void damagedFileIsReportedAndDeleted_data()
    {
        QTest::addColumn<bool>("half");
        QTest::newRow("not XML") << false;
        QTest::newRow("cut short") << true;
    }
    void damagedFileIsReportedAndDeleted()
    {
        QFETCH(bool, half);
        const QString file = LeaveOrphan(folder, Edited(2), Edited(3), QStringLiteral("1"));
        QFile out(file);
        QVERIFY(out.open(QIODevice::ReadWrite));
        const QByteArray good = out.readAll();
        out.resize(0);
        out.write(half ? good.left(good.size() / 2) + "</LPGmap></variatorTarvo>" : QByteArray("not maps\n"));
        out.close();
        StartWindow();
        StartSession(f.w);
        QVERIFY(questions.isEmpty());
        QCOMPARE(f.errors.size(), 1);
        QVERIFY2(f.errors[0].startsWith(MapFileOpenError(file)), qPrintable(f.errors[0]));
        QVERIFY(!QFile::exists(file));
        QVERIFY(SameTable(LPGTable, SampleTable([](int) { return 0.0; })));
        QCOMPARE(f.w->UndoStack->count(), 0);
    }

    // The real box: caption "Message", the buttons "Да" and "Нет".
    void realQuestionBox()
    {
        for (const bool yes : {true, false}) {
            DialogAnswerer dialogs;
            dialogs.button = yes ? QStringLiteral("Да") : QStringLiteral("Нет");
            QCOMPARE(AskQuestion(RecoveryQuestion), yes);
            QCOMPARE(dialogs.Texts(), QStringList{RecoveryQuestion});
            QCOMPARE(dialogs.boxes[0].caption, QStringLiteral("Message"));
            dialogs.boxes[0].buttons.sort();
            QCOMPARE(dialogs.boxes[0].buttons, (QStringList{QStringLiteral("Да"), QStringLiteral("Нет")}));
        }
    }

    // The real error box for a damaged file, closed by the test.
    void damagedFileWithTheRealErrorBox()
    {
        const QString file = LeaveOrphan(folder, Edited(2), Edited(3), QStringLiteral("1"));
        QFile(file).resize(10);
        StartWindow();
        SetErrorBoxHook({});
        DialogAnswerer dialogs;
        StartSession(f.w);
        QCOMPARE(dialogs.boxes.size(), 1);
        QVERIFY2(dialogs.boxes[0].text.startsWith(MapFileOpenError(file)), qPrintable(dialogs.boxes[0].text));
        QVERIFY(questions.isEmpty());
        QVERIFY(!QFile::exists(file));
    }
};

QTEST_MAIN(TestRecovery)
#include "tst_recovery.moc"
