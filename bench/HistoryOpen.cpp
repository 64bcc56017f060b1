// Time of "Файл" / "История…" from the menu item to the list painted on the
// screen, with a history folder of 15,000 and of 100,000 restore points (a
// busy shop's year and more than six) beside the same with an empty folder,
// in the same run. The restore points are a few map files hard-linked under
// every name, each with the note of one of fifty cars beside it, a read, a
// write and a compare making one visit of one car, so that a
// folder of a hundred thousand costs no disk. After the open the dialog is
// left to read every note and map in the background: the time until each
// row's count is known and the longest wait of the event loop meanwhile
// show that the dialog stays responsive while it fills. On the platform Qt
// is given (QT_QPA_PLATFORM), offscreen when none is.

#include "app/core/History.h"
#include "app/core/MapStore.h"
#include "app/ui/Gui2.h"
#include "app/ui/TarvoApplication.h"
#include "mapfile/core/MapFile.h"
#include "mapfile/ui/HistoryDialog.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

constexpr int Opens = 5;
constexpr int Cars = 50;
constexpr int PointsPerMapCopy = 10000;

// A folder of count restore points with their notes, made in data/history.
bool MakeHistory(const QString& data, int count)
{
    const QString folder = data + QStringLiteral("/tarvo-gui/history");
    if (!QDir().mkpath(folder))
        return false;
    MapTable lpg = {};
    MapTable petrol = {};
    SetSpeedAxis(lpg);
    SetSpeedAxis(petrol);
    for (int i = 0; i < MapPoints; ++i) {
        lpg.Uoz[i] = 8 + i / 10.0;
        petrol.Uoz[i] = 4 + i / 20.0;
    }
    // A file system takes some tens of thousands of links to one file: a
    // copy of the map for every ten thousand names.
    QList<QByteArray> maps;
    for (int m = 0; m * PointsPerMapCopy < count; ++m) {
        const QString map = data + QStringLiteral("/map%1.xml").arg(m);
        SaveMapFile(map, lpg, petrol, QStringLiteral("30"));
        maps << QFile::encodeName(map);
    }
    QStringList notes;
    for (int c = 0; c < Cars; ++c) {
        notes << data + QStringLiteral("/car%1.note").arg(c);
        QFile note(notes.last());
        if (!note.open(QIODevice::WriteOnly))
            return false;
        note.write(QStringLiteral("Golf А%1ВС, Иванов\n").arg(100 + c).toUtf8());
    }
    // Sixty a day from 1 January 2020 on, every third a write; a read, a
    // write and a compare make one visit of one car.
    const QDateTime start(QDate(2020, 1, 1), QTime(9, 0));
    static const char* const kinds[] = {"read", "write", "compare"};
    for (int i = 0; i < count; ++i) {
        const QDateTime when = start.addDays(i / 60).addSecs(i % 60 * 480);
        const QString visit = when.addSecs(-(i % 3) * 480).toString(QStringLiteral("yyyyMMddHHmmss"))
                            + QStringLiteral("%1").arg(i / 3 % 0x10000, 4, 16, QLatin1Char('0'));
        const QString base = folder + QStringLiteral("/%1-%2-COM7-fw12-v%3").arg(when.toString(QStringLiteral("yyyyMMdd-HHmmss")), QLatin1String(kinds[i % 3]), visit);
        if (::link(maps.at(i / PointsPerMapCopy).constData(), QFile::encodeName(base + QStringLiteral(".xml")).constData()) != 0
            || ::link(QFile::encodeName(notes.at(i / 3 % Cars)).constData(),
                      QFile::encodeName(base + QStringLiteral(".note")).constData())
                   != 0)
            return false;
    }
    return true;
}

struct Opened {
    double openMs = 0;       // menu item to the list painted
    double filledMs = 0;     // menu item to every note and count known
    double longestWait = 0;  // the event loop's longest wait while filling
};

// Opens the history through its menu item; with fill, leaves it open until
// the background reading is done.
Opened OpenHistory(TForm2* window, bool fill)
{
    Opened o;
    QElapsedTimer clock;
    bool painted = false;
    // The list's first paint ends the open; the dialog then closes at once
    // or once it is filled.
    struct Watch : QObject {
        std::function<void(QObject*)> paint;
        bool eventFilter(QObject* object, QEvent* event) override
        {
            if (event->type() == QEvent::Paint)
                paint(object);
            return false;
        }
    } watch;
    QTimer tick;
    QElapsedTimer sinceTick;
    watch.paint = [&](QObject* object) {
        auto* list = qobject_cast<QTreeView*>(object->parent());
        if (painted || !list || list->objectName() != QLatin1String("HistoryList"))
            return;
        painted = true;
        o.openMs = clock.nsecsElapsed() / 1e6;
        auto* dialog = static_cast<THistoryDialog*>(list->window());
        if (!fill) {
            QMetaObject::invokeMethod(dialog, &QDialog::reject, Qt::QueuedConnection);
            return;
        }
        // Every 5 ms the event loop should come round; how late it comes is
        // the wait a user would feel.
        sinceTick.start();
        tick.setInterval(5);
        QObject::connect(&tick, &QTimer::timeout, dialog, [&, dialog] {
            o.longestWait = std::max(o.longestWait, sinceTick.nsecsElapsed() / 1e6 - 5);
            sinceTick.start();
            if (dialog->Filled()) {
                o.filledMs = clock.nsecsElapsed() / 1e6;
                tick.stop();
                dialog->reject();
            }
        });
        tick.start();
    };
    qApp->installEventFilter(&watch);
    clock.start();
    window->N20->trigger();
    qApp->removeEventFilter(&watch);
    return o;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TarvoApplication app(argc, argv);
    QTemporaryDir state;
    qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
    Form2 = new TForm2;
    Form2->show();
    QCoreApplication::processEvents();

    const int sizes[] = {0, 15000, 100000};
    std::vector<QTemporaryDir*> folders;
    for (int count : sizes) {
        folders.push_back(new QTemporaryDir);
        if (!MakeHistory(folders.back()->path(), count)) {
            std::fprintf(stderr, "cannot make a history of %d restore points\n", count);
            return 1;
        }
    }
    // The folders are opened in turn, so that whatever else the machine does
    // falls on all of them alike.
    std::vector<std::vector<double>> times(std::size(sizes));
    for (int k = 0; k < Opens; ++k)
        for (size_t f = 0; f < std::size(sizes); ++f) {
            qputenv("XDG_DATA_HOME", folders[f]->path().toLocal8Bit());
            times[f].push_back(OpenHistory(Form2, false).openMs);
        }
    const double empty = Median(times[0]);
    std::printf("history open, empty folder, %s: median %.1f ms (%d each)\n",
                qPrintable(QGuiApplication::platformName()), empty, Opens);
    for (size_t f = 1; f < std::size(sizes); ++f) {
        qputenv("XDG_DATA_HOME", folders[f]->path().toLocal8Bit());
        QElapsedTimer listing;
        listing.start();
        const int listed = int(ListRestorePoints(HistoryFolder()).size());
        const double listingMs = listing.nsecsElapsed() / 1e6;
        const Opened filled = OpenHistory(Form2, true);
        const double open = Median(times[f]);
        std::printf("history open, %d restore points, %s: median %.1f ms, empty folder %.1f ms, ratio %.2f; "
                    "the folder's listing alone %.1f ms; every car and count shown after %.2f s, the event loop's "
                    "longest wait meanwhile %.1f ms\n",
                    listed, qPrintable(QGuiApplication::platformName()), open, empty, open / empty, listingMs,
                    filled.filledMs / 1000, filled.longestWait);
    }
    for (QTemporaryDir* d : folders)
        delete d;
    delete Form2;
    return 0;
}
