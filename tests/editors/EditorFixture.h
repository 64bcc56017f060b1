#pragma once

// Shared set-up of the editor tests: the common window base, with the window
// shown and active on the offscreen platform.

#include "common/WindowTestBase.h"

#include <QTabWidget>

struct EditorFixture : WindowTestBase {
    void Open()
    {
        StartWindow();
        ShowWindow();
    }

    void Close() { EndWindow(); }

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
