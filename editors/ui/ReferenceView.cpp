#include "editors/ui/ReferenceView.h"

#include "editors/widgets/ChartWidget.h"
#include "app/ui/Gui2.h"
#include "app/core/MapCompare.h"
#include "app/core/MapStore.h"
#include "editors/ui/MapViews.h"
#include "app/widgets/Seams.h"
#include "editors/widgets/StringGrid.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <cmath>

void SetupReferenceView(TForm2* window)
{
    // "Вид" after "Правка", before the menus without items.
    window->N17 = new QMenu(QStringLiteral("Вид"), window->MainMenu);
    window->N17->setObjectName(QStringLiteral("N17"));
    window->MainMenu->insertMenu(window->N5, window->N17);
    window->N18 = window->N17->addAction(QStringLiteral("Показывать исходную карту"));
    window->N18->setObjectName(QStringLiteral("N18"));
    window->N18->setCheckable(true);
    window->N18->setChecked(true);
    QObject::connect(window->N18, &QAction::toggled, window, [window] { RunHandler([window] { ShowReferences(window); }); });

    window->N19 = window->N8->addAction(QStringLiteral("Сравнить с вариатором"));
    window->N19->setObjectName(QStringLiteral("N19"));
    QObject::connect(window->N19, &QAction::triggered, window, [window] { RunHandler([window] { window->N19Click(); }); });
}

QList<int> UnknownReferencePoints(const TForm2* window, const MapReference& reference)
{
    QList<int> points;
    if (!ReferenceShown(window) || !reference.exists)
        return points;
    for (int i = 0; i < MapPoints; ++i)
        if (!std::isfinite(reference.Uoz[i]))
            points.append(i);
    return points;
}

bool ReferenceShown(const TForm2* window)
{
    return !window->N18 || window->N18->isChecked();
}

void ShowChartReference(TForm2* window, const MapViews& views)
{
    const MapViews* m = &views;
    QList<QList<QPointF>> runs;
    if (ReferenceShown(window) && m->reference->exists) {
        bool inRun = false;
        for (int i = 0; i < MapPoints; ++i) {
            const double uoz = m->reference->Uoz[i];
            if (!std::isfinite(uoz)) {
                inRun = false;
                continue;
            }
            if (!inRun)
                runs.append(QList<QPointF>());
            runs.back().append(QPointF(m->table->Rpm[i], uoz));
            inRun = true;
        }
    }
    m->chart->SetReferenceLine(runs);
    m->chart->SetUnknownPoints(UnknownReferencePoints(window, *m->reference));
}

void ShowGridMarks(TForm2* window, const MapViews& views)
{
    const MapViews* m = &views;
    const bool shown = ReferenceShown(window);
    const QList<int> unknown = UnknownReferencePoints(window, *m->reference);
    for (int i = 0; i < MapPoints; ++i) {
        // Each mark is taken away before the other is set: a cell has one.
        const bool isUnknown = unknown.contains(i);
        const bool marked = shown && !isUnknown && DiffersFromReference(*m->reference, *m->table, i);
        m->grid->SetCellUnknown(PointCol(i), PointRow(i), false);
        m->grid->SetCellMarked(PointCol(i), PointRow(i), marked);
        m->grid->SetCellUnknown(PointCol(i), PointRow(i), isUnknown);
    }
}

void ShowReferences(TForm2* window)
{
    for (const MapViews* m : {&window->LPGViews, &window->PetrolViews}) {
        ShowChartReference(window, *m);
        ShowGridMarks(window, *m);
    }
}
