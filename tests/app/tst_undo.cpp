// Undo and redo of the map store through the window: the steps each command
// makes, the exact maps and views they put back, the menu and the shortcuts.

#include "common/BothMaps.h"
#include "editors/EditorFixture.h"

#include "mapfile/core/MapFile.h"
#include "app/core/NumberText.h"
#include "editors/widgets/StringGrid.h"
#include "app/ui/Undo.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QLineSeries>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QUndoStack>
#include <vector>

class TestUndo : public QObject {
    Q_OBJECT

    EditorFixture f;
    TForm2* w = nullptr;
    QUndoStack* stack = nullptr;

    void CommitLPGCell(int col, int row, const QString& text)
    {
        bool canSelect = true;
        w->StringGridLPGSelectCell(col, row, canSelect);
        w->StringGridLPG->SetCell(col, row, text);
        w->StringGridLPGKeyDown(Qt::Key_Return);
    }

    void Shortcut(QWidget* target, Qt::Key key, Qt::KeyboardModifiers modifiers)
    {
        QTest::keyClick(target, key, modifiers);
        QCoreApplication::processEvents();
    }

private slots:
    void init()
    {
        f.Open();
        w = f.w;
        stack = w->UndoStack;
        InitMapStore();
    }
    void cleanup() { f.Close(); }

    void menuAfterFileWithShortcuts()
    {
        const QList<QAction*> items = w->N14->actions();
        QCOMPARE(items[0], w->N15);
        QCOMPARE(items[1], w->N16);
        // Then, after a separator, the shaping commands with their shortcuts.
        QStringList shaping;
        for (const QAction* a : items.mid(2))
            shaping << a->text() + QLatin1Char(' ') + a->shortcut().toString();
        QCOMPARE(shaping, QStringList({" ", "Копировать Ctrl+C", "Вставить Ctrl+V", " ", "Установить значение… Ctrl+E",
                                       "Прибавить… Ctrl+D", "Умножить… Ctrl+M", "Интерполировать Ctrl+I", "Сгладить Ctrl+G", " ",
                                       "Копировать карту бензина в газ Ctrl+Shift+G", "Копировать карту газа в бензин Ctrl+Shift+B"}));
        QCOMPARE(w->N15->text(), QStringLiteral("Отменить"));
        QCOMPARE(w->N16->text(), QStringLiteral("Повторить"));
        QCOMPARE(w->N15->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
        QCOMPARE(w->N16->shortcuts(),
                 (QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)}));
        QVERIFY(stack->undoLimit() >= 1000);

        // Enabled exactly while there is something to undo or redo.
        QVERIFY(!w->N15->isEnabled() && !w->N16->isEnabled());
        w->Button1Click();
        QVERIFY(w->N15->isEnabled() && !w->N16->isEnabled());
        w->N15->trigger();
        QVERIFY(!w->N15->isEnabled() && w->N16->isEnabled());
        w->N16->trigger();
        QVERIFY(w->N15->isEnabled() && !w->N16->isEnabled());
    }

    // One step per command that changed the maps; undo and redo walk them back
    // and forth with both maps exact to the bit and all four views reloaded.
    void everyChangeIsOneExactStep()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("maps.xml"));
        std::vector<Maps> states{Now()};

        // Fine single-point steps leave floating-point residue.
        w->LPGSpeedCheckBox->setChecked(false);
        w->LPGFulMapMoveCheckBox->setChecked(false);
        MouseInLPGChart = 1;
        for (int k = 0; k < 3; ++k)
            w->ChartLPGKeyDown(Qt::Key_Up);
        QCOMPARE(stack->count(), 1);  // one run of presses
        states.push_back(Now());
        w->Button1Click();
        states.push_back(Now());
        CommitLPGCell(3, 4, QStringLiteral("-12.5"));
        states.push_back(Now());
        SaveMapFile(file, LPGTable, SampleTable([](int i) { return i * 0.1; }), QStringLiteral("0"));
        w->Button1Click();
        states.push_back(Now());
        SetFileDialogHook([&](QFileDialog*, QString& name) {
            name = file;
            return true;
        });
        w->N2Click();
        SetFileDialogHook({});
        states.push_back(Now());
        QCOMPARE(stack->count(), int(states.size()) - 1);

        // Commands that change nothing add no step: Left, a refused Up, an
        // unchanged cell, a cancelled or failed open.
        w->ChartLPGKeyDown(Qt::Key_Left);
        CommitLPGCell(3, 4, FloatToStr(LPGTable.Uoz[23]));
        SetFileDialogHook([](QFileDialog*, QString&) { return false; });
        w->N2Click();
        SetFileDialogHook([&](QFileDialog*, QString& name) {
            name = dir.filePath(QStringLiteral("missing.xml"));
            return true;
        });
        RunHandler([this] { w->N2Click(); });
        SetFileDialogHook({});
        QCOMPARE(f.errors.size(), 1);
        QCOMPARE(stack->count(), int(states.size()) - 1);

        for (int k = int(states.size()) - 2; k >= 0; --k) {
            stack->undo();
            QVERIFY2(SameBits(Now(), states[k]), qPrintable(QStringLiteral("after undo to state %1").arg(k)));
            f.CheckViewsShow(false);
            f.CheckViewsShow(true);
        }
        QVERIFY(!stack->canUndo());
        for (size_t k = 1; k < states.size(); ++k) {
            stack->redo();
            QVERIFY2(SameBits(Now(), states[k]), qPrintable(QStringLiteral("after redo to state %1").arg(k)));
            f.CheckViewsShow(false);
            f.CheckViewsShow(true);
        }
        QVERIFY(!stack->canRedo());
    }

    void thousandStepsBack()
    {
        f.ShowPage(w->TabSheetUOZGrid);
        CommitLPGCell(1, 1, QStringLiteral("0.5"));
        const Maps first = Now();
        for (int k = 1; k <= 1000; ++k)
            CommitLPGCell(1 + k % 8, 1 + k % 10, QString::number(k * 0.01));
        int undone = 0;
        while (stack->canUndo() && undone < 1000) {
            stack->undo();
            ++undone;
        }
        QCOMPARE(undone, 1000);
        QVERIFY(SameBits(Now(), first));
    }

    // Real key presses on a chart merge into one step until other input comes
    // in between; after an undo a new press does not merge into the old step.
    void chartRunsMergeUntilOtherInput()
    {
        f.ShowPage(w->TabSheetLPGmap);
        TChart* chart = w->ChartLPG;
        chart->setFocus();
        MouseInLPGChart = 1;
        for (int k = 0; k < 3; ++k)
            QTest::keyClick(chart, Qt::Key_Up);
        QCOMPARE(stack->count(), 1);
        QCOMPARE(LPGTable.Uoz[0], 1.5);
        // A click elsewhere ends the run.
        QTest::mouseClick(w->LPGSpeedCheckBox, Qt::LeftButton);
        QTest::mouseClick(w->LPGSpeedCheckBox, Qt::LeftButton);
        QTest::keyClick(chart, Qt::Key_Up);
        QCOMPARE(stack->count(), 2);
        // A key on another control ends it too.
        QTest::keyClick(w->EEditVariatorStartTimeout, Qt::Key_End);
        QTest::keyClick(chart, Qt::Key_Down);
        QCOMPARE(stack->count(), 3);
        // The other chart's presses are a run of their own.
        MouseInPetrolChart = 1;
        QTest::keyClick(w->ChartPetrol, Qt::Key_Up);
        QCOMPARE(stack->count(), 4);
        QTest::keyClick(chart, Qt::Key_Up);
        QCOMPARE(stack->count(), 5);

        stack->undo();
        QCOMPARE(LPGTable.Uoz[0], 1.5);
        QTest::keyClick(chart, Qt::Key_Up);
        QCOMPARE(stack->count(), 5);
        QCOMPARE(LPGTable.Uoz[0], 2.0);
        stack->undo();
        QCOMPARE(LPGTable.Uoz[0], 1.5);
        QCOMPARE(PetrolTable.Uoz[0], 0.5);
    }

    // Ctrl+Z undoes and Ctrl+Shift+Z, Ctrl+Y redo wherever the focus is: on a
    // chart, in an edit box (whose own text undo gives way), on a grid. In an
    // open cell editor they belong to the editor's text.
    void shortcutsWhereverTheFocusIs()
    {
        w->Button1Click();
        const Maps templ = Now();
        QWidget* targets[] = {w->ChartLPG, w->EEditVariatorStartTimeout, w->ComboBox1->lineEdit(), w->StringGridLPG};
        for (QWidget* target : targets) {
            f.ShowPage(target == w->StringGridLPG ? w->TabSheetUOZGrid
                       : target == w->ChartLPG    ? w->TabSheetLPGmap
                                                  : w->TabSheetVariatorSettings);
            target->setFocus();
            const QString name = QString::fromLatin1(target->metaObject()->className());
            Shortcut(target, Qt::Key_Z, Qt::ControlModifier);
            QVERIFY2(!stack->canUndo(), qPrintable(name));
            QCOMPARE(LPGTable.Uoz[5], 0.0);
            QCOMPARE(w->StringGridLPG->Cell(1, 6), QStringLiteral("0"));
            Shortcut(target, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
            QVERIFY2(SameBits(Now(), templ), qPrintable(name));
            stack->undo();
            Shortcut(target, Qt::Key_Y, Qt::ControlModifier);
            QVERIFY2(SameBits(Now(), templ), qPrintable(name));
        }
        QCOMPARE(w->EEditVariatorStartTimeout->text(), QStringLiteral("0"));

        // In the open cell editor: Ctrl+Z takes back the typed text, the maps stay.
        f.ShowPage(w->TabSheetUOZGrid);
        TStringGrid* grid = w->StringGridLPG;
        grid->setFocus();
        QTest::keyClicks(grid, QStringLiteral("7"));
        QLineEdit* editor = grid->Editor();
        QVERIFY(editor);
        QTest::keyClicks(editor, QStringLiteral("5"));
        QCOMPARE(editor->text(), QStringLiteral("75"));
        for (const auto& [key, modifiers] : {std::pair{Qt::Key_Y, Qt::KeyboardModifiers(Qt::ControlModifier)},
                                             std::pair{Qt::Key_Z, Qt::KeyboardModifiers(Qt::ControlModifier)}})
            Shortcut(editor, key, modifiers);
        QVERIFY(SameBits(Now(), templ));
        QCOMPARE(stack->index(), 1);
        QVERIFY(editor->text() != QStringLiteral("75"));
    }
};

QTEST_MAIN(TestUndo)
#include "tst_undo.moc"
