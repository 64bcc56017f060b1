#pragma once

// The upper level of the test base, for suites of the ui layer: every global
// and hook back at its start value and a fresh main window as Form2, with
// messages and error boxes recorded instead of shown.

#include "common/CoreTestBase.h"

#include "editors/ui/ChartEditor.h"
#include "app/ui/Gui2.h"
#include "app/widgets/Seams.h"
#include "editors/ui/TableEditor.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QStringList>
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
