#pragma once

// Shared set-up of the editor tests: a fresh main window per test, shown and
// active on the offscreen platform, with the map tables and the editors'
// globals back at their start values and the dialogs replaced by hooks.

#include "ChartEditor.h"
#include "Gui2.h"
#include "MapStore.h"
#include "Seams.h"
#include "TableEditor.h"

#include <QApplication>
#include <QTabWidget>
#include <QLocale>
#include <QStringList>
#include <QTest>

struct EditorFixture {
    TForm2* w = nullptr;
    QStringList messages;
    QStringList errors;

    void Open()
    {
        QLocale::setDefault(QLocale::c());
        SelectedLPGCol = SelectedLPGRow = SelectedPetrolCol = SelectedPetrolRow = 0;
        SelectedLPGPoint = SelectedPetrolPoint = 0;
        MouseInLPGChart = MouseInPetrolChart = 0;
        messages.clear();
        errors.clear();
        SetMessageHook([this](const QString& t) { messages << t; });
        SetErrorBoxHook([this](const QString& t) { errors << t; });
        QCursor::setPos(QPoint(5000, 5000));
        w = new TForm2;
        Form2 = w;
        w->show();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
    }

    void Close()
    {
        // An error box still waiting for the event loop belongs to this test.
        QCoreApplication::processEvents();
        delete w;
        w = nullptr;
        Form2 = nullptr;
        SetMessageHook({});
        SetErrorBoxHook({});
        QLocale::setDefault(QLocale::c());
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
};
