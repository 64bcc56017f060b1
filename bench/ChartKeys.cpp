// Time of the map edits as the user sees them, each from its input to the
// chart repainted, beside a yardstick measured in the same run: a bare Qt
// Charts view of one line series of 80 points with markers whose values all
// change, and which repaints, on a key press delivered the same way, in front
// of a grey dashed reference line of 80 points. The program's and
// the yardstick's presses alternate, so that whatever else the machine does
// falls on both alike.
//
// Measured: the whole-map key edit on the LPG chart (undo step and recovery
// file writes included, the map's reference line drawn beside it), a step of
// a marker dragged in whole-map mode, and each
// range command of "Правка" on all 80 points (whole-map mode), through its
// menu item with the number answered at once. On the platform Qt is given
// (QT_QPA_PLATFORM), offscreen when none is. The first argument names the
// conditions (for example "idle" or "2 busy processes").

#include "editors/ui/ChartEditor.h"
#include "editors/widgets/ChartWidget.h"
#include "app/ui/Gui2.h"
#include "app/core/MapCompare.h"
#include "app/core/MapStore.h"
#include "app/widgets/Seams.h"
#include "editors/ui/ReferenceView.h"
#include "app/ui/Session.h"
#include "app/ui/TarvoApplication.h"

#include <QAction>
#include <QChart>
#include <QChartView>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QLineSeries>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QValueAxis>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// The yardstick: 80 points with markers, which every key press gives new
// values, in front of a grey dashed line of 80 points, as a map is drawn in
// front of its reference.
class BareChart : public QChartView {
public:
    BareChart()
    {
        auto* axisX = new QValueAxis;
        axisX->setRange(0, 8000);
        auto* axisY = new QValueAxis;
        axisY->setRange(0, 35);
        chart()->addAxis(axisX, Qt::AlignBottom);
        chart()->addAxis(axisY, Qt::AlignLeft);
        auto* reference = new QLineSeries;
        reference->setPen(QPen(QColor(128, 128, 128), 2, Qt::DashLine));
        QList<QPointF> line;
        for (int i = 0; i < 80; ++i)
            line.append(QPointF(100.0 * i, 4.0 + i / 8.0));
        reference->replace(line);
        chart()->addSeries(reference);
        reference->attachAxis(axisX);
        reference->attachAxis(axisY);
        series = new QLineSeries;
        series->setPointsVisible(true);
        chart()->addSeries(series);
        series->attachAxis(axisX);
        series->attachAxis(axisY);
        chart()->legend()->hide();
        Fill(9.0);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        Fill(event->key() == Qt::Key_Up ? 9.5 : 9.0);
    }

private:
    void Fill(double base)
    {
        QList<QPointF> points;
        for (int i = 0; i < 80; ++i)
            points.append(QPointF(100.0 * i, base + i / 40.0));
        series->replace(points);
    }
    QLineSeries* series;
};

double Percentile(std::vector<double> ms, double q)
{
    std::sort(ms.begin(), ms.end());
    return ms[std::min(ms.size() - 1, static_cast<size_t>(ms.size() * q))];
}

// Runs `edit` and `bare` in turn `count` times, each timed to its view
// repainted, and prints both. With TARVO_BENCH_PHASES set, also the median
// of each phase of the program's edits: the input handled, the window
// repainted on the screen, the chart drawn again (the grab).
void Measure(const char* what, const QString& where, int count, QWidget* view, const std::function<void(int)>& edit,
             QWidget* bareView, BareChart* bare)
{
    std::vector<double> program;
    std::vector<double> yardstick;
    std::vector<double> phases[3];
    std::vector<double> barePhases[3];
    QElapsedTimer timer;
    for (int k = 0; k < count; ++k) {
        QKeyEvent press(QEvent::KeyPress, k % 2 ? Qt::Key_Down : Qt::Key_Up, Qt::NoModifier);
        timer.start();
        QCoreApplication::sendEvent(bare, &press);
        const qint64 b0 = timer.nsecsElapsed();
        QCoreApplication::processEvents();
        const qint64 b1 = timer.nsecsElapsed();
        bareView->grab();
        yardstick.push_back(timer.nsecsElapsed() / 1e6);
        barePhases[0].push_back(b0 / 1e6);
        barePhases[1].push_back((b1 - b0) / 1e6);
        barePhases[2].push_back(yardstick.back() - b1 / 1e6);

        timer.start();
        edit(k);
        const qint64 t0 = timer.nsecsElapsed();
        QCoreApplication::processEvents();
        const qint64 t1 = timer.nsecsElapsed();
        view->grab();
        program.push_back(timer.nsecsElapsed() / 1e6);
        phases[0].push_back(t0 / 1e6);
        phases[1].push_back((t1 - t0) / 1e6);
        phases[2].push_back(program.back() - t1 / 1e6);
    }
    const double p99 = Percentile(program, 0.99);
    const double bareP99 = Percentile(yardstick, 0.99);
    std::printf("%s, %s: p99 %.2f ms, median %.2f ms; bare chart p99 %.2f ms, median %.2f ms; p99 ratio %.2f (%d each)\n",
                what, qPrintable(where), p99, Percentile(program, 0.5), bareP99, Percentile(yardstick, 0.5),
                p99 / bareP99, count);
    if (qEnvironmentVariableIsSet("TARVO_BENCH_PHASES"))
        std::printf("  phases, median ms: input %.3f / %.3f, screen %.3f / %.3f, grab %.3f / %.3f (program / bare)\n",
                    Percentile(phases[0], 0.5), Percentile(barePhases[0], 0.5), Percentile(phases[1], 0.5),
                    Percentile(barePhases[1], 0.5), Percentile(phases[2], 0.5), Percentile(barePhases[2], 0.5));
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TarvoApplication app(argc, argv);
    const QString where = QGuiApplication::platformName()
                        + (argc > 1 ? QStringLiteral(", ") + QString::fromLocal8Bit(argv[1]) : QString());
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

    BareChart bare;
    bare.resize(chart->size());
    bare.move(Form2->geometry().topRight());
    bare.show();
    QCoreApplication::processEvents();
    bare.grab();

    Measure(
        "whole-map key edit", where, 1000, chart,
        [chart](int k) {
            // Up and down in turn, so that the map stays within its limits.
            QKeyEvent press(QEvent::KeyPress, k % 2 ? Qt::Key_Down : Qt::Key_Up, Qt::NoModifier);
            QCoreApplication::sendEvent(chart, &press);
        },
        &bare, &bare);
    const bool moved = LPGTable.Uoz[0] == 9.0 && MouseInLPGChart == 1;

    // A marker dragged in whole-map mode: each move of the pointer is one
    // step of 0.5 degrees of all 80 points, up and down in turn.
    {
        Form2->Button1Click();
        QCoreApplication::processEvents();
        QWidget* viewport = chart->viewport();
        const QPointF marker = chart->PointPosition(40);
        auto at = [chart](double value) {
            const QPointF inChart = chart->chart()->mapToPosition(QPointF(4000, value), chart->MapSeries());
            return QPointF(chart->mapFromScene(chart->chart()->mapToScene(inChart)));
        };
        auto send = [viewport](QEvent::Type type, const QPointF& pos, Qt::MouseButtons buttons) {
            QMouseEvent event(type, pos, viewport->mapToGlobal(pos), Qt::LeftButton, buttons, Qt::NoModifier);
            QCoreApplication::sendEvent(viewport, &event);
        };
        send(QEvent::MouseButtonPress, marker, Qt::LeftButton);
        send(QEvent::MouseMove, at(7.0), Qt::LeftButton);  // beyond the start distance of a drag
        Measure(
            "drag step, 80 points", where, 1000, chart,
            [&](int k) { send(QEvent::MouseMove, at(k % 2 ? 7.0 : 7.5), Qt::LeftButton); }, &bare, &bare);
        send(QEvent::MouseButtonRelease, at(9.0), Qt::NoButton);
    }

    // The range commands on all 80 points of the LPG chart.
    QString answer;
    SetNumberHook([&answer](const QString&, const QString&, QString& text) {
        text = answer;
        return true;
    });
    const struct {
        const char* what;
        QAction* action;
        const char* even;
        const char* odd;
    } commands[] = {
        {"set value, 80 points", Form2->N34, "9.5", "9"},
        {"add, 80 points", Form2->N35, "0.5", "-0.5"},
        {"multiply, 80 points", Form2->N36, "110", "90"},
        {"interpolate, 80 points", Form2->N37, "", ""},
        {"smooth, 80 points", Form2->N38, "", ""},
        {"copy petrol map to LPG, 80 points", Form2->N40, "", ""},
    };
    for (const auto& c : commands) {
        Form2->Button1Click();
        Measure(
            c.what, where, 300, chart,
            [&](int k) {
                answer = QString::fromLatin1(k % 2 ? c.odd : c.even);
                // The ends move, so that the points between them change,
                // within the band of degrees that the yardstick's points
                // take: a repaint covers the points' area.
                LPGTable.Uoz[0] = LPGTable.Uoz[79] = k % 2 ? 9.0 : 11.0;
                PetrolTable.Uoz[k % 80] = k % 7;
                c.action->trigger();
            },
            &bare, &bare);
    }
    SetNumberHook({});

    EndSession();
    delete Form2;
    Form2 = nullptr;
    return moved ? 0 : 1;
}
