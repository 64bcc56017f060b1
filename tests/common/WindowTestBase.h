#pragma once

// The upper level of the test base, for suites of the ui layer: every global
// and hook back at its start value and a fresh main window as Form2, with
// messages and error boxes recorded instead of shown.

#include "common/CoreTestBase.h"
#include "common/ShownNumber.h"

#include "editors/ui/ChartEditor.h"
#include "app/ui/Gui2.h"
#include "app/widgets/Seams.h"
#include "editors/ui/TableEditor.h"
#include "editors/widgets/StringGrid.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QLineSeries>
#include <QStringList>
#include <QTabWidget>
#include <QTest>
#include <functional>

class WindowTestBase {
public:
    // Keys go where the user's keys go: to the widget with the focus, which
    // is the cell editor once typing has opened it. The event loop runs after
    // each key, as it does for the user.
    static void KeyToFocus(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget* target = QApplication::focusWidget();
        QVERIFY(target);
        QTest::keyClick(target, key, modifiers);
        QCoreApplication::processEvents();
    }
    static void TypeToFocus(const QString& text)
    {
        for (QChar ch : text) {
            QWidget* target = QApplication::focusWidget();
            QVERIFY(target);
            QTest::keyClick(target, ch.toLatin1());
            QCoreApplication::processEvents();
        }
    }

    // A click on a cell of a grid, the event loop run after it.
    static void ClickCell(TStringGrid* grid, int col, int row)
    {
        const QRect r = grid->visualRect(grid->model()->index(row, col));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
        QCoreApplication::processEvents();
    }
    static QPoint CurrentCell(const TStringGrid* grid) { return QPoint(grid->currentColumn(), grid->currentRow()); }
    // The error box of a cell whose text is no number.
    static QString BadNumber(const QString& text)
    {
        return QStringLiteral("'%1' is not a valid floating point value.").arg(text);
    }

    TForm2* w = nullptr;
    QStringList messages;
    QStringList errors;
    // Called after each recorded message, with the window still as shown.
    std::function<void(const QString&)> onMessage;

    // The editors' selections and pointer flags, the core globals, every
    // hook, then a new window.
    void StartWindow()
    {
        ResetCoreGlobals();
        SelectedLPGCol = SelectedLPGRow = SelectedPetrolCol = SelectedPetrolRow = 0;
        SelectedLPGPoint = SelectedPetrolPoint = 0;
        LPGChartRun = PetrolChartRun = ChartRun();
        MouseInLPGChart = MouseInPetrolChart = 0;
        messages.clear();
        errors.clear();
        SetMessageHook([this](const QString& t) {
            messages << t;
            if (onMessage)
                onMessage(t);
        });
        SetErrorBoxHook([this](const QString& t) { errors << t; });
        SetFileDialogHook({});
        SetQuestionHook({});
        SetNumberHook({});
        SetYesNoCancelHook({});
        w = new TForm2;
        Form2 = w;
    }

    // Shown and active, the pointer far from it.
    void ShowWindow()
    {
        QCursor::setPos(QPoint(5000, 5000));
        w->show();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
    }

    // Brings a page to the front the way the user does; every change of page
    // reloads all four views.
    void ShowPage(QWidget* page)
    {
        QTabWidget* tabs = w->PageControl1;
        const int index = tabs->indexOf(page);
        if (tabs->currentIndex() == index) {
            // Go round another page so that the reload happens.
            tabs->setCurrentIndex(index == 0 ? 1 : 0);
        }
        tabs->setCurrentIndex(index);
        QCoreApplication::processEvents();
    }

    // The chart and the grid of a map show its table.
    void CheckViewsShow(bool petrol)
    {
        const MapTable& map = petrol ? PetrolTable : LPGTable;
        for (int i = 0; i < MapPoints; ++i) {
            QCOMPARE((petrol ? w->Series1 : w->LineSeries1)->at(i).y(), map.Uoz[i]);
            QVERIFY(ShowsValue((petrol ? w->StringGridPetrol : w->StringGridLPG)->Cell(PointCol(i), PointRow(i)), map.Uoz[i]));
        }
    }

    void EndWindow()
    {
        // An error box still waiting for the event loop belongs to this test.
        QCoreApplication::processEvents();
        delete w;
        w = nullptr;
        Form2 = nullptr;
        SetMessageHook({});
        SetErrorBoxHook({});
        SetFileDialogHook({});
        SetQuestionHook({});
        SetNumberHook({});
        SetYesNoCancelHook({});
        ResetCoreGlobals();
    }
};
