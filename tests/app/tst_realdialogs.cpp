// The program's handlers with the real message boxes, error boxes and file
// dialogs: each box runs its own modal loop, as it does for the user, and is
// answered from inside that loop by a timer. Faults that the hooks hide (a
// widget used after a modal loop closed it, a box shown twice, a box that
// opens at the wrong moment) show here.

#include "editors/ui/ChartEditor.h"
#include "editors/widgets/ChartWidget.h"
#include "mapfile/core/MapFile.h"
#include "app/core/NumberText.h"
#include "editors/widgets/StringGrid.h"
#include "editors/ui/TableEditor.h"
#include "app/ui/TarvoApplication.h"
#include "app/ui/CloseQuestion.h"
#include "app/ui/Undo.h"
#include "common/LinkFixture.h"
#include "common/DialogAnswerer.h"

#include <QAction>
#include <QComboBox>
#include <QLocale>
#include <QPushButton>
#include <QUndoStack>
#include <stdexcept>

namespace {

enum class Commit { Enter, KeypadEnter, Tab, Click, Down, Up };
enum class Outcome { Stored, Reverted, Error, Nothing };

} // namespace

Q_DECLARE_METATYPE(Commit)
Q_DECLARE_METATYPE(Outcome)

class TestRealDialogs : public QObject {
    Q_OBJECT

    LinkFixture link;
    TForm2* w = nullptr;
    DialogAnswerer* dialogs = nullptr;
    QTemporaryDir files;

    void WaitForNoModal()
    {
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCoreApplication::processEvents();
    }
    // After a box the user comes back to the window.
    void BackToWindow()
    {
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
    }
    void Do(TStringGrid* grid, Commit how)
    {
        switch (how) {
        case Commit::Enter: link.KeyToFocus(Qt::Key_Return); break;
        case Commit::KeypadEnter: link.KeyToFocus(Qt::Key_Enter, Qt::KeypadModifier); break;
        case Commit::Tab: link.KeyToFocus(Qt::Key_Tab); break;
        case Commit::Click: link.ClickCell(grid, 4, 5); break;
        case Commit::Down: link.KeyToFocus(Qt::Key_Down); break;
        case Commit::Up: link.KeyToFocus(Qt::Key_Up); break;
        }
        WaitForNoModal();
    }
    static QPoint Target(Commit how)
    {
        switch (how) {
        case Commit::Click: return QPoint(4, 5);
        case Commit::Down: return QPoint(2, 4);
        case Commit::Up: return QPoint(2, 2);
        default: return QPoint(2, 3);
        }
    }

private slots:
    void initTestCase()
    {
        link.InitRuntime();
        QVERIFY(files.isValid());
    }

    void init()
    {
        link.InitWindow();
        // The real boxes and dialogs.
        SetMessageHook({});
        SetErrorBoxHook({});
        w = link.w;
        link.ShowWindow();
        dialogs = new DialogAnswerer;
        dialogs->window = w;
    }

    void cleanup()
    {
        WaitForNoModal();
        delete dialogs;
        dialogs = nullptr;
        link.CleanupWindow();
        w = nullptr;
        QLocale::setDefault(QLocale::c());
    }

    // Every way of committing a cell, on both grids, with text that is stored,
    // text out of range and text that is no number (the texts the number
    // parser refuses are its own suite's). A failed commit shows the
    // error box once, after the key or click, and leaves the cursor on the
    // cell with the text as typed; the corrected text then commits.
    void gridCommitsWithRealBoxes_data()
    {
        QTest::addColumn<bool>("petrol");
        QTest::addColumn<bool>("russian");
        QTest::addColumn<Commit>("how");
        QTest::addColumn<QString>("text");
        QTest::addColumn<Outcome>("outcome");

        const struct {
            const char* name;
            QString text;
            bool russian;
            Outcome outcome;
        } enterTexts[] = {
            {"12.5", QStringLiteral("12.5"), false, Outcome::Stored},
            {"32.01", QStringLiteral("32.01"), false, Outcome::Reverted},
            {"abc", QStringLiteral("abc"), false, Outcome::Error},
            {"empty", QString(), false, Outcome::Error},
            {"ru 12,5", QStringLiteral("12,5"), true, Outcome::Stored},
            {"ru 3.5", QStringLiteral("3.5"), true, Outcome::Error},
        };
        struct Way {
            const char* name;
            Commit how;
        };
        const Way enterKeys[] = {{"Enter", Commit::Enter}, {"keypad Enter", Commit::KeypadEnter}};
        const Way moves[] = {{"Tab", Commit::Tab}, {"click", Commit::Click}, {"Down", Commit::Down}, {"Up", Commit::Up}};

        for (bool petrol : {false, true}) {
            const char* map = petrol ? "petrol" : "LPG";
            for (const auto& k : enterKeys)
                for (const auto& t : enterTexts)
                    QTest::addRow("%s %s %s", map, k.name, t.name) << petrol << t.russian << k.how << t.text << t.outcome;
            for (const auto& m : moves)
                for (const auto& t : {enterTexts[0], enterTexts[1], enterTexts[2], enterTexts[5]}) {
                    // Tab leaves the grid without committing anything.
                    const Outcome outcome = m.how == Commit::Tab ? Outcome::Nothing : t.outcome;
                    QTest::addRow("%s %s %s", map, m.name, t.name) << petrol << t.russian << m.how << t.text << outcome;
                }
        }
    }
    void gridCommitsWithRealBoxes()
    {
        QFETCH(bool, petrol);
        QFETCH(bool, russian);
        QFETCH(Commit, how);
        QFETCH(QString, text);
        QFETCH(Outcome, outcome);
        if (russian)
            QLocale::setDefault(QLocale(QLocale::Russian));
        MapTable& table = petrol ? PetrolTable : LPGTable;
        table.Uoz[12] = 4.5;
        TStringGrid* grid = petrol ? w->StringGridPetrol : w->StringGridLPG;
        link.ShowPage(petrol ? w->TabSheetPetrolGrid : w->TabSheetUOZGrid);
        grid->setFocus();
        link.ClickCell(grid, 2, 3); // point 12
        QCOMPARE(link.CurrentCell(grid), QPoint(2, 3));
        QVERIFY(dialogs->boxes.isEmpty());

        link.KeyToFocus(Qt::Key_F2);
        QVERIFY(grid->Editor());
        grid->Editor()->setText(text);
        Do(grid, how);

        const QString oldText = russian ? QStringLiteral("4,5") : QStringLiteral("4.5");
        switch (outcome) {
        case Outcome::Nothing:
            QVERIFY(dialogs->boxes.isEmpty());
            QCOMPARE(table.Uoz[12], 4.5);
            QCOMPARE(link.CurrentCell(grid), QPoint(2, 3));
            return;
        case Outcome::Stored:
            QVERIFY(dialogs->boxes.isEmpty());
            QCOMPARE(table.Uoz[12], 12.5); // every stored text reads 12.5
            QCOMPARE(grid->Cell(2, 3), text);
            QCOMPARE(link.CurrentCell(grid), Target(how));
            return;
        case Outcome::Reverted:
            QVERIFY(dialogs->boxes.isEmpty());
            QCOMPARE(table.Uoz[12], 4.5);
            QCOMPARE(grid->Cell(2, 3), oldText);
            QCOMPARE(link.CurrentCell(grid), Target(how));
            return;
        case Outcome::Error:
            break;
        }

        QCOMPARE(dialogs->boxes.size(), 1);
        const ShownBox box = dialogs->boxes.first();
        QCOMPARE(box.text, WindowTestBase::BadNumber(text));
        QCOMPARE(box.caption, QStringLiteral("Tarvo GUI"));
        QCOMPARE(box.icon, QMessageBox::Critical);
        QCOMPARE(table.Uoz[12], 4.5);
        QCOMPARE(link.CurrentCell(grid), QPoint(2, 3));
        QCOMPARE(grid->Cell(2, 3), text);
        BackToWindow();
        if (how == Commit::Enter || how == Commit::KeypadEnter) {
            // Enter stopped where it failed: the editor is still open and has
            // the focus again.
            QVERIFY(grid->Editor());
            QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(grid->Editor()));
        }
        // The program carries on: the corrected text commits the same way.
        if (!grid->Editor())
            link.KeyToFocus(Qt::Key_F2);
        QVERIFY(grid->Editor());
        link.KeyToFocus(Qt::Key_A, Qt::ControlModifier);
        link.TypeToFocus(QStringLiteral("7"));
        Do(grid, how);
        QCOMPARE(dialogs->boxes.size(), 1);
        QCOMPARE(table.Uoz[12], 7.0);
        QCOMPARE(link.CurrentCell(grid), Target(how));
    }

    // Chart keys run no box of their own; a key handler that fails shows the
    // error box after the key, and the chart goes on taking keys.
    void chartKeysWithRealBoxes()
    {
        link.ShowPage(w->TabSheetLPGmap);
        TChart* chart = w->ChartLPG;
        QTest::mouseMove(chart, chart->rect().center());
        QCoreApplication::processEvents();
        QCOMPARE(MouseInLPGChart, 1);
        chart->setFocus();
        QTest::keyClick(chart, Qt::Key_Up);
        QCoreApplication::processEvents();
        QCOMPARE(LPGTable.Uoz[40], 0.5);
        QVERIFY(dialogs->boxes.isEmpty());

        const auto wired = chart->OnKeyDown;
        chart->OnKeyDown = [&](int key) {
            RunEventHandler([&] {
                wired(key);
                throw std::runtime_error("chart key failed");
            });
        };
        QTest::keyClick(chart, Qt::Key_Up);
        WaitForNoModal();
        QCOMPARE(dialogs->Texts(), QStringList{QStringLiteral("chart key failed.")});
        QCOMPARE(dialogs->boxes.first().icon, QMessageBox::Critical);
        QCOMPARE(LPGTable.Uoz[40], 1.0);
        chart->OnKeyDown = wired;
        BackToWindow();
        QTest::mouseMove(chart, chart->rect().center() + QPoint(5, 5));
        QCoreApplication::processEvents();
        QCOMPARE(MouseInLPGChart, 1);
        QTest::keyClick(chart, Qt::Key_Down);
        QCoreApplication::processEvents();
        QCOMPARE(LPGTable.Uoz[40], 0.5);
        QCOMPARE(dialogs->boxes.size(), 1);
    }

    // A range command asks its number in a real box under a comma locale,
    // then refuses the result with one real message; a second try is stored
    // and the cancelled third changes nothing.
    void rangeCommandWithRealBoxes()
    {
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        link.ShowPage(w->TabSheetUOZGrid);
        link.ClickCell(w->StringGridLPG, 3, 4);
        dialogs->numbersToType = QStringList{QStringLiteral("32,5"), QStringLiteral("2,5")};
        for (int k = 0; k < 3; ++k) {
            w->N35->trigger();  // "Прибавить…"
            WaitForNoModal();
            BackToWindow();
        }
        QCOMPARE(dialogs->numberBoxes, 3);
        QCOMPARE(dialogs->Texts(), QStringList{QStringLiteral("Значение вне допустимого диапазона: газ, 2300 об/мин")});
        QCOMPARE(dialogs->boxes.first().caption, QStringLiteral("Message"));
        QCOMPARE(LPGTable.Uoz[23], 2.5);
        QCOMPARE(w->StringGridLPG->Cell(3, 4), QStringLiteral("2,5"));
        QCOMPARE(w->UndoStack->count(), 1);
    }

    // Connect, read, write and disconnect over the simulator: every message in
    // a real box, without owner, captioned "Message", with no icon, and the
    // status changing only after the box was closed.
    void connectAndTransfersWithRealBoxes()
    {
        VariatorSim* sim = link.AddSim(5);
        for (int i = 0; i < MapPoints; ++i) {
            sim->SetValue(i, int16_t(1000 + i));
            sim->SetValue(80 + i, int16_t(2000 + i));
        }
        sim->SetValue(166, 15);

        w->ComboBox1->setEditText(QStringLiteral("abc"));
        w->N9->trigger();
        WaitForNoModal();
        QCOMPARE(dialogs->Texts(), QStringList{QStringLiteral("'abc' is not a valid integer value.")});
        QCOMPARE(dialogs->boxes.last().caption, QStringLiteral("Tarvo GUI"));

        w->ReadData->click();
        WaitForNoModal();
        QCOMPARE(dialogs->boxes.last().text, DisconnectedMessage);

        w->ComboBox1->setEditText(QStringLiteral("5"));
        w->N9->trigger();
        WaitForNoModal();
        QCOMPARE(dialogs->boxes.last().text, QStringLiteral("Вариатор подключен"));
        QCOMPARE(dialogs->boxes.last().status, QStringLiteral("hidden"));
        QCOMPARE(w->Label2->text(), ConnectedCaption);
        w->N9->trigger();
        WaitForNoModal();
        QCOMPARE(dialogs->boxes.last().text, QStringLiteral("Вариатор уже подключен"));

        const int before = dialogs->boxes.size();
        w->ReadData->click();
        WaitForNoModal();
        QCOMPARE(dialogs->boxes.size(), before);
        QCOMPARE(LPGTable.Uoz[3], 2.003);
        QCOMPARE(PetrolTable.Uoz[3], 1.003);
        QCOMPARE(w->EEditVariatorStartTimeout->text(), QStringLiteral("15"));

        w->EEditVariatorStartTimeout->setText(QStringLiteral("70000"));
        w->WriteData->click();
        WaitForNoModal();
        QCOMPARE(dialogs->boxes.last().text,
                 WriteRefusal(QStringLiteral("(время до включения вариатора)")));

        sim->AddFault({SimFault::WrongEcho, 1, 85});
        w->EEditVariatorStartTimeout->setText(QStringLiteral("9"));
        w->WriteData->click();
        WaitForNoModal();
        QCOMPARE(dialogs->boxes[dialogs->boxes.size() - 2].text,
                 LPGWriteMismatch);
        QVERIFY(dialogs->boxes.last().text.startsWith(QStringLiteral("Запись завершена с ошибками: 1.")));
        QCOMPARE(int(sim->Value(166)), 9);

        w->N12->trigger();
        WaitForNoModal();
        QCOMPARE(dialogs->boxes.last().text, DisconnectedMessage);
        QCOMPARE(dialogs->boxes.last().status, DisconnectedCaption);

        for (const ShownBox& b : dialogs->boxes) {
            QVERIFY(!b.owned);
            if (b.caption == QStringLiteral("Message"))
                QCOMPARE(b.icon, QMessageBox::NoIcon);
            else
                QCOMPARE(b.icon, QMessageBox::Critical);
        }
    }

    // Closing with maps that are not kept asks, with the real box; "Да"
    // saves and closes only once the maps are in a file, Escape is "Отмена".
    // Maps back where they were kept, or a close forced by the session's
    // end, ask nothing.
    void closeQuestionWithRealBox_data()
    {
        QTest::addColumn<QString>("maps");    // "edited", "undone", "forced"
        QTest::addColumn<QString>("button");  // empty: Escape
        QTest::addColumn<bool>("chooseFile");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<bool>("asked");
        QTest::newRow("Да, saved") << "edited" << "Да" << true << true << true;
        QTest::newRow("Да, save cancelled") << "edited" << "Да" << false << false << true;
        QTest::newRow("Нет") << "edited" << "Нет" << false << true << true;
        QTest::newRow("Отмена") << "edited" << "Отмена" << false << false << true;
        QTest::newRow("Escape") << "edited" << "" << false << false << true;
        QTest::newRow("undone") << "undone" << "Нет" << false << true << false;
        QTest::newRow("forced") << "forced" << "Нет" << false << true << false;
    }
    void closeQuestionWithRealBox()
    {
        QFETCH(QString, maps);
        QFETCH(QString, button);
        QFETCH(bool, chooseFile);
        QFETCH(bool, closed);
        QFETCH(bool, asked);
        {
            const MapStep step(w, QStringLiteral("edit"));
            LPGTable.Uoz[3] = 4.25;
        }
        if (maps == QLatin1String("undone"))
            w->UndoStack->undo();
        SetClosingForced(maps == QLatin1String("forced"));
        const QString file = files.filePath(QStringLiteral("closing.xml"));
        QFile::remove(file);
        dialogs->button = button;
        dialogs->fileToChoose = chooseFile ? file : QString();

        const bool result = w->close();
        WaitForNoModal();
        SetClosingForced(false);

        QCOMPARE(result, closed);
        QCOMPARE(w->isVisible(), !closed);
        QStringList texts = dialogs->Texts();
        QCOMPARE(!texts.isEmpty() && texts.first() == CloseQuestion, asked);
        if (asked) {
            QStringList buttons = dialogs->boxes.first().buttons;
            buttons.sort();
            QCOMPARE(buttons, (QStringList{QStringLiteral("Да"), QStringLiteral("Нет"), QStringLiteral("Отмена")}));
        }
        // After the answer the close is the same as ever.
        QCOMPARE(texts.endsWith(DisconnectedMessage), closed);
        QCOMPARE(QFile::exists(file), chooseFile);
        QCOMPARE(LPGTable.Uoz[3], maps == QLatin1String("undone") ? 0.0 : 4.25);
        if (closed && !VariatorPort)
            VariatorPort = new ComPort;
    }

    // Save, Open, a one-map open and the report through the real file
    // dialogs; a file that is no map file ends in the real error box and
    // changes nothing.
    void openAndSaveWithRealDialogs()
    {
        FillTemplate(w);
        LPGTable.Uoz[7] = -3.25;
        const QString saved = files.filePath(QStringLiteral("maps.xml"));
        dialogs->fileToChoose = saved;
        w->N3->trigger();
        WaitForNoModal();
        QCOMPARE(dialogs->fileDialogs, 1);
        QVERIFY(dialogs->boxes.isEmpty());
        QVERIFY(QFile::exists(saved));

        InitMapStore();
        w->N2->trigger();
        WaitForNoModal();
        QCOMPARE(dialogs->fileDialogs, 2);
        QVERIFY(dialogs->boxes.isEmpty());
        QCOMPARE(LPGTable.Uoz[7], -3.25);
        QCOMPARE(PetrolTable.Uoz[7], 2.0);
        QCOMPARE(w->StringGridLPG->Cell(1, 8), QStringLiteral("-3.25"));

        const QString junk = files.filePath(QStringLiteral("junk.xml"));
        {
            QFile f(junk);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("not a map\n");
        }
        dialogs->fileToChoose = junk;
        w->N2->trigger();
        WaitForNoModal();
        QCOMPARE(dialogs->boxes.size(), 1);
        QVERIFY2(dialogs->boxes[0].text.startsWith(MapFileOpenError(junk)),
                 qPrintable(dialogs->boxes[0].text));
        QCOMPARE(dialogs->boxes[0].icon, QMessageBox::Critical);
        QCOMPARE(LPGTable.Uoz[7], -3.25);

        // One map of a file, then the report, through the same real dialogs.
        LPGTable.Uoz[7] = PetrolTable.Uoz[7] = 1.0;
        dialogs->fileToChoose = saved;
        w->N23->trigger();
        WaitForNoModal();
        QCOMPARE(PetrolTable.Uoz[7], 2.0);
        QCOMPARE(LPGTable.Uoz[7], 1.0);
        const QString report = files.filePath(QStringLiteral("report.pdf"));
        dialogs->fileToChoose = report;
        w->N24->trigger();
        WaitForNoModal();
        QCOMPARE(dialogs->fileDialogs, 5);
        QCOMPARE(dialogs->boxes.size(), 1);
        QVERIFY(QFile::exists(report));

        // Cancel: nothing opened, nothing shown.
        dialogs->fileToChoose.clear();
        w->N2->trigger();
        WaitForNoModal();
        QCOMPARE(dialogs->boxes.size(), 1);
        QCOMPARE(LPGTable.Uoz[7], 1.0);
    }
};

int main(int argc, char** argv)
{
    TarvoApplication app(argc, argv);
    TestRealDialogs test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_realdialogs.moc"
