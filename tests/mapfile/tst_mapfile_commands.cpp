// The "Файл" menu commands "Открыть", "Сохранить", the one-map opens and the
// report on the main window: the dialogs they run, the views they reload and
// the error box on failures.

#include "editors/ui/ChartEditor.h"
#include "app/ui/Gui2.h"
#include "mapfile/core/MapFile.h"
#include "mapfile/ui/Report.h"
#include "MapFileSamples.h"
#include "common/ShownNumber.h"
#include "common/WindowTestBase.h"
#include "app/core/MapCompare.h"
#include "app/core/MapStore.h"
#include "app/core/NumberText.h"
#include "app/core/Visit.h"
#include "app/widgets/Seams.h"
#include "editors/widgets/StringGrid.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QLineSeries>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUndoStack>
#include <QTest>

class TestMapFileCommands : public QObject, public WindowTestBase {
    Q_OBJECT

    QTemporaryDir dir;
    QList<QFileDialog*> dialogs;
    QString chosen;  // empty: the dialog is cancelled

    // True when both charts and both grids show the tables.
    bool ViewsShowTables()
    {
        const struct {
            const MapTable& table;
            QLineSeries* series;
            TStringGrid* grid;
        } views[] = {{LPGTable, w->LineSeries1, w->StringGridLPG}, {PetrolTable, w->Series1, w->StringGridPetrol}};
        for (const auto& v : views) {
            if (v.series->count() != MapPoints)
                return false;
            for (int i = 0; i < MapPoints; ++i) {
                if (v.series->at(i) != QPointF(v.table.Rpm[i], v.table.Uoz[i]))
                    return false;
                if (!ShowsValue(v.grid->Cell(i / 10 + 1, i % 10 + 1), v.table.Uoz[i]))
                    return false;
            }
        }
        return true;
    }

    void MakeViewsStale()
    {
        w->LineSeries1->clear();
        w->Series1->clear();
        w->StringGridLPG->SetCell(1, 1, QStringLiteral("stale"));
        w->StringGridPetrol->SetCell(8, 10, QStringLiteral("stale"));
    }

private slots:
    void init()
    {
        dialogs.clear();
        chosen.clear();
        StartWindow();
        SetFileDialogHook([this](QFileDialog* dialog, QString& fileName) {
            dialogs << dialog;
            if (chosen.isEmpty())
                return false;
            fileName = chosen;
            return true;
        });
    }
    void cleanup() { EndWindow(); }

    void saveCommand()
    {
        LPGTable = SampleTable([](int i) { return i == 0 ? 12.5 : i / 4.0; });
        PetrolTable = SampleTable([](int i) { return i == 0 ? 10.0 : -i / 8.0; });
        w->EEditVariatorStartTimeout->setText(QStringLiteral("abc"));
        w->SignalInversionCheckBox->setChecked(true);
        chosen = dir.filePath(QStringLiteral("saved.xml"));
        MakeViewsStale();

        w->N3->trigger();

        QCOMPARE(errors, QStringList());
        QCOMPARE(messages, QStringList());
        QCOMPARE(dialogs, QList<QFileDialog*>{w->SaveDialog1});
        QCOMPARE(w->SaveDialog1->nameFilters(), QStringList{QStringLiteral("Text Files (*.xml)")});
        const QByteArray bytes = ReadAll(chosen);
        QVERIFY(bytes.contains("<Settings Inversion=\"0\" Timeout=\"abc\">variator settings</Settings>"
                               "<LPGmap>LPG map)))<LPGPoint UOZ0=\"12.5\">12500</LPGPoint>"));
        QVERIFY(bytes.contains("<Petrolmap><PetrolPoint UOZ0=\"10\">10000</PetrolPoint>"));
        QVERIFY(ViewsShowTables());
    }

    void openCommand()
    {
        const MapTable lpg = SampleTable([](int i) { return (i * 250 - 9000) / 1000.0; });
        const MapTable petrol = SampleTable([](int i) { return (i % 9) * 1.125; });
        const QString file = dir.filePath(QStringLiteral("open.xml"));
        SaveMapFile(file, lpg, petrol, QStringLiteral("99"));
        w->EEditVariatorStartTimeout->setText(QStringLiteral("5"));
        chosen = file;

        w->N2->trigger();

        QCOMPARE(errors, QStringList());
        QCOMPARE(dialogs, QList<QFileDialog*>{w->OpenDialog1});
        QCOMPARE(w->OpenDialog1->nameFilters(), QStringList{QStringLiteral("Text Files (*.xml)")});
        QVERIFY(SameTable(LPGTable, lpg));
        QVERIFY(SameTable(PetrolTable, petrol));
        QVERIFY(ViewsShowTables());
        QCOMPARE(w->StringGridLPG->Cell(1, 1), QStringLiteral("-9"));
        QCOMPARE(w->StringGridLPG->Cell(8, 10), QStringLiteral("10.75"));
        QCOMPARE(w->Series1->at(8), QPointF(800, 9.0));
        QCOMPARE(w->EEditVariatorStartTimeout->text(), QStringLiteral("5"));  // not read back
    }

    void cancelledDialogRefreshesAllViews_data()
    {
        QTest::addColumn<bool>("open");
        QTest::newRow("open") << true;
        QTest::newRow("save") << false;
    }
    void cancelledDialogRefreshesAllViews()
    {
        QFETCH(bool, open);
        FillTemplate(w);
        LPGTable.Uoz[3] = -1.5;
        const MapTable lpg = LPGTable;
        const MapTable petrol = PetrolTable;
        MakeViewsStale();
        const QStringList files = QDir(dir.path()).entryList(QDir::Files);

        (open ? w->N2 : w->N3)->trigger();

        QCOMPARE(dialogs.size(), 1);
        QCOMPARE(errors, QStringList());
        QVERIFY(SameTable(LPGTable, lpg));
        QVERIFY(SameTable(PetrolTable, petrol));
        QVERIFY(ViewsShowTables());
        QCOMPARE(w->StringGridLPG->Cell(1, 4), QStringLiteral("-1.5"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), files);
    }

    // A refused file shows the error box and leaves tables and views alone.
    void failedOpen()
    {
        FillTemplate(w);
        w->PageControl1Change();
        QVERIFY(ViewsShowTables());
        const MapTable lpg = LPGTable;
        const MapTable petrol = PetrolTable;
        const QString file = dir.filePath(QStringLiteral("broken.xml"));
        SaveMapFile(file, SampleTable([](int) { return 1.0; }), SampleTable([](int) { return 2.0; }), QString());
        QVERIFY(WriteAll(file, WithPointText(ReadAll(file), "PetrolPoint", 40, "abc")));
        chosen = file;

        w->N2->trigger();

        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].startsWith(MapFileOpenError(file)), qPrintable(errors[0]));
        QVERIFY2(errors[0].contains(QStringLiteral("«abc»")), qPrintable(errors[0]));
        QVERIFY(SameTable(LPGTable, lpg));
        QVERIFY(SameTable(PetrolTable, petrol));
        QVERIFY(ViewsShowTables());
        QCOMPARE(w->StringGridLPG->Cell(1, 1), QStringLiteral("9"));
        QCOMPARE(messages, QStringList());
    }

    // "Открыть только карту газа…" and "…бензина…" take one map of the file
    // as one step, whose reference it becomes; the other map stays, and a
    // refused file changes neither.
    void openOneMap_data()
    {
        QTest::addColumn<bool>("lpg");
        QTest::addColumn<bool>("broken");
        QTest::newRow("gas only") << true << false;
        QTest::newRow("petrol only") << false << false;
        QTest::newRow("gas only, refused file") << true << true;
    }
    void openOneMap()
    {
        QFETCH(bool, lpg);
        QFETCH(bool, broken);
        const MapTable fileLPG = SampleTable([](int i) { return i / 8.0; });
        const MapTable filePetrol = SampleTable([](int i) { return -i / 16.0; });
        chosen = dir.filePath(QStringLiteral("one.xml"));
        SaveMapFile(chosen, fileLPG, filePetrol, QString());
        if (broken)
            QVERIFY(WriteAll(chosen, WithPointText(ReadAll(chosen), "PetrolPoint", 79, "<x/>")));
        FillTemplate(w);
        w->PageControl1Change();
        const MapTable lpgBefore = LPGTable;
        const MapTable petrolBefore = PetrolTable;

        (lpg ? w->N22 : w->N23)->trigger();

        QCOMPARE(errors.size(), broken ? 1 : 0);
        const bool lpgTaken = lpg && !broken;
        const bool petrolTaken = !lpg && !broken;
        QVERIFY(SameTable(LPGTable, lpgTaken ? fileLPG : lpgBefore));
        QVERIFY(SameTable(PetrolTable, petrolTaken ? filePetrol : petrolBefore));
        QCOMPARE(LPGReference.exists, lpgTaken);
        QCOMPARE(PetrolReference.exists, petrolTaken);
        QCOMPARE(w->UndoStack->count(), broken ? 0 : 1);
        QVERIFY(ViewsShowTables());
    }

    // The report is a PDF whose text holds the car and the 160 values in
    // the regional number format.
    void pdfReport()
    {
        const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
#ifndef Q_OS_WIN
        QVERIFY2(!pdftotext.isEmpty(), "pdftotext (poppler-utils, scripts/deps.sh) is needed");
#endif
        if (qEnvironmentVariableIsSet("TARVO_REPORT_COPY"))
            chosen = qEnvironmentVariable("TARVO_REPORT_COPY");
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        LPGTable = SampleTable([](int i) { return 4.001 + i * 0.29; });
        PetrolTable = SampleTable([](int i) { return 2.003 + i * 0.15; });
        MapTable reference = LPGTable;
        for (int i : {30, 31, 32})
            reference.Uoz[i] -= 1.5;
        SetMapReference(LPGReference, reference);
        w->CarNoteEdit->setText(QStringLiteral("Golf А123ВС Иванов"));
        if (chosen.isEmpty())
            chosen = dir.filePath(QStringLiteral("report.pdf"));

        w->N24->trigger();

        QCOMPARE(errors, QStringList());
        QCOMPARE(dialogs, QList<QFileDialog*>{w->ReportDialog1});
        QVERIFY(ReadAll(chosen).startsWith("%PDF-"));
        // A name that stands for a folder is refused as a map file's is.
        const QString written = chosen;
        chosen = dir.path();
        w->N24->trigger();
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].startsWith(ReportSaveError(chosen)), qPrintable(errors[0]));
        QVERIFY2(!errors[0].contains(QStringLiteral("файл карт")), qPrintable(errors[0]));
        chosen = written;
        if (pdftotext.isEmpty())
            QSKIP("the PDF is written; its text needs pdftotext, which this system does not have");
        QProcess text;
        text.start(pdftotext, {QStringLiteral("-layout"), chosen, QStringLiteral("-")});
        QVERIFY(text.waitForFinished(30000) && text.exitCode() == 0);
        const QString page = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY2(page.contains(QStringLiteral("Golf А123ВС Иванов")), qPrintable(page));
        // No read made: said plainly, and the maps against their references.
        QVERIFY(page.contains(QStringLiteral("Карты из вариатора не читались: отличия показаны от исходной карты.")));
        QVERIFY(page.contains(QStringLiteral("Отличаются от исходной карты точек: 3")));
        const QStringList words = page.split(QRegularExpression(QStringLiteral("\\s+")));
        for (const MapTable* table : {&LPGTable, &PetrolTable})
            for (int i = 0; i < MapPoints; ++i)
                QVERIFY2(words.contains(FloatToStr(table->Uoz[i])), qPrintable(FloatToStr(table->Uoz[i])));
    }

    void failedSave()
    {
        const QString plain = dir.filePath(QStringLiteral("plain"));
        QVERIFY(WriteAll(plain, "x"));
        chosen = plain + QStringLiteral("/map.xml");

        w->N3->trigger();

        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].startsWith(MapFileSaveError(chosen)), qPrintable(errors[0]));
        QCOMPARE(ReadAll(plain), QByteArray("x"));
        QFile::remove(plain);
    }
    // The record of a visit: what the car came in with ("до") beside what it
    // leaves with ("после"), the points that differ with both values, each
    // map against its own before; said plainly when nothing changed. The
    // settings rows show the settings they name.
    void visitRecord_data()
    {
        QTest::addColumn<bool>("changed");
        QTest::newRow("changed") << true;
        QTest::newRow("unchanged") << false;
    }
    void visitRecord()
    {
        QFETCH(bool, changed);
        const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
        if (pdftotext.isEmpty())
            QSKIP("the record's text needs pdftotext");
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        CurrentVisit = Visit();
        CurrentVisit.hasBefore = CurrentVisit.beforeRead = CurrentVisit.hasAfter = true;
        CurrentVisit.readPort = 7;
        CurrentVisit.car = QStringLiteral("Лада Веста");
        CurrentVisit.before.lpg = SampleTable([](int i) { return 4.25 + i / 8.0; });
        CurrentVisit.before.petrol = SampleTable([](int i) { return -3.5 - i / 16.0; });
        CurrentVisit.after = CurrentVisit.before;
        if (changed) {
            for (int i : {10, 11, 12})
                CurrentVisit.after.lpg.Uoz[i] += 1.5;
            for (int i : {40, 41})
                CurrentVisit.after.petrol.Uoz[i] = 7.75;
        }
        LPGTable = CurrentVisit.after.lpg;
        PetrolTable = CurrentVisit.after.petrol;
        w->EEditVariatorStartTimeout->setText(QStringLiteral("37"));
        w->MicroCodeVersionEdit->setText(QStringLiteral("12"));
        chosen = dir.filePath(QStringLiteral("visit.pdf"));

        w->N24->trigger();

        QCOMPARE(errors, QStringList());
        QProcess text;
        text.start(pdftotext, {QStringLiteral("-layout"), chosen, QStringLiteral("-")});
        QVERIFY(text.waitForFinished(30000) && text.exitCode() == 0);
        // Digit groups may be kept apart by a no-break space of either width.
        const auto spaced = [](QString s) { return s.replace(QChar(0xa0), QLatin1Char(' ')).replace(QChar(0x202f), QLatin1Char(' ')); };
        const QString page = spaced(QString::fromUtf8(text.readAllStandardOutput()));
        const auto line = [&page](const QString& name, const QString& value) {
            return page.contains(QRegularExpression(QRegularExpression::escape(name) + QStringLiteral(" +")
                                                    + QRegularExpression::escape(value) + QStringLiteral("\\s*\\n")));
        };
        for (const char* row : {"Время до включения вариатора|37", "Версия прошивки|12", "Порт|COM7", "Автомобиль|Лада Веста"})
            QVERIFY2(line(QString::fromUtf8(row).section('|', 0, 0), QString::fromUtf8(row).section('|', 1)), row);
        QCOMPARE(page.contains(QStringLiteral("Карты автомобиля не изменялись.")), !changed);
        QCOMPARE(page.count(QStringLiteral("Карта не изменялась.")), changed ? 0 : 2);
        if (!changed)
            return;
        QVERIFY(page.contains(QStringLiteral("Изменено точек: 5 (газ: 3, бензин: 2).")));
        const QString flat = page.simplified();
        for (int i : {10, 11, 12, 40, 41}) {
            const CarState& before = CurrentVisit.before, &after = CurrentVisit.after;
            const QString said = QStringLiteral("%1 об/мин: до %2, после %3")
                                     .arg(QString::number(i * 100), FloatToStr((i < 40 ? before.lpg : before.petrol).Uoz[i]),
                                          FloatToStr((i < 40 ? after.lpg : after.petrol).Uoz[i]));
            QVERIFY2(flat.contains(spaced(said)), qPrintable(said + QStringLiteral(" in ") + flat));
        }
    }

    // A whole-file write whose final rename fails saved nothing, and says so.
    void renameFailsNothingSaved_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("map file") << "N3";
        QTest::newRow("record") << "N24";
    }
    void renameFailsNothingSaved()
    {
        QFETCH(QString, command);
        chosen = dir.filePath(QStringLiteral("taken.") + command);
        // Just before the rename a folder takes the name.
        BeforeWholeFileCommit = [](const QString& file) { QDir().mkpath(file + QStringLiteral("/keep")); };
        w->findChild<QAction*>(command)->trigger();
        BeforeWholeFileCommit = nullptr;
        QCOMPARE(errors.size(), 1);
        const QString says = command == "N3" ? MapFileSaveError(chosen) : ReportSaveError(chosen);
        QVERIFY2(errors[0].startsWith(says) && errors[0].size() > says.size(), qPrintable(errors[0]));
        QVERIFY(QFileInfo(chosen).isDir());
        QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("taken.*")}, QDir::Files | QDir::Hidden), QStringList());
    }
};

QTEST_MAIN(TestMapFileCommands)
#include "tst_mapfile_commands.moc"
