// Time of one whole-map key edit on the LPG chart, the repaint of the chart,
// the undo step and the recovery file writes included, over 1000 presses on
// the platform Qt is given (QT_QPA_PLATFORM), offscreen when none is, with
// the map's reference line drawn beside it.

#include "editors/ui/ChartEditor.h"
#include "editors/widgets/ChartWidget.h"
#include "app/ui/Gui2.h"
#include "app/core/MapCompare.h"
#include "app/core/MapStore.h"
#include "editors/ui/ReferenceView.h"
#include "app/ui/Session.h"
#include "app/ui/TarvoApplication.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QTabWidget>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TarvoApplication app(argc, argv);
    QTemporaryDir state;
    qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
    Form2 = new TForm2;
    Form2->show();
    StartSession(Form2);
    QCoreApplication::processEvents();
    Form2->Button1Click();  // LPG map flat at 9 degrees
    // A reference curve crossing the map, as after a read.
    MapTable reference = LPGTable;
    for (int i = 0; i < MapPoints; ++i)
        reference.Uoz[i] = 4.0 + i / 8.0;
    SetMapReference(LPGReference, reference);
    ShowReferences(Form2);
    TChart* chart = Form2->ChartLPG;
    QEnterEvent enter(QPointF(100, 100), QPointF(100, 100), QPointF(100, 100));
    QCoreApplication::sendEvent(chart, &enter);
    chart->grab();

    const int presses = 1000;
    std::vector<double> ms;
    ms.reserve(presses);
    QElapsedTimer timer;
    for (int k = 0; k < presses; ++k) {
        // Up and down in turn, so that the map stays within its limits.
        const int key = k % 2 ? Qt::Key_Down : Qt::Key_Up;
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        timer.start();
        QCoreApplication::sendEvent(chart, &press);
        QCoreApplication::processEvents();
        chart->grab();
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    const bool moved = LPGTable.Uoz[0] == 9.0 && MouseInLPGChart == 1;
    std::sort(ms.begin(), ms.end());
    const double median = ms[ms.size() / 2];
    const double p99 = ms[static_cast<size_t>(ms.size() * 0.99) - 1];
    std::printf("chart key edit, %s: median %.2f ms, p99 %.2f ms (%d presses)\n",
                qPrintable(QGuiApplication::platformName()), median, p99, presses);
    EndSession();
    delete Form2;
    Form2 = nullptr;
    return moved ? 0 : 1;
}
