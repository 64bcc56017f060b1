#include "editors/ui/MapViews.h"

#include "editors/ui/ChartEditor.h"
#include "app/ui/Gui2.h"
#include "app/core/MapCompare.h"
#include "app/core/MapStore.h"
#include "editors/ui/TableEditor.h"

void BuildMapViews(TForm2* w)
{
    w->LPGViews = {w->ChartLPG, w->LineSeries1, w->LPGSpeedCheckBox, w->LPGFulMapMoveCheckBox,
                   w->LPGScaleCheckBox, w->StringGridLPG, &LPGTable, &LPGReference,
                   &SelectedLPGPoint, &LPGChartRun, &MouseInLPGChart, &SelectedLPGCol, &SelectedLPGRow, w->LPGReadoutLabel};
    w->PetrolViews = {w->ChartPetrol, w->Series1, w->PetrolSpeedCheckBox, w->PetrolFulMapMoveCheckBox,
                      w->PetrolScaleCheckBox, w->StringGridPetrol, &PetrolTable, &PetrolReference,
                      &SelectedPetrolPoint, &PetrolChartRun, &MouseInPetrolChart, &SelectedPetrolCol,
                      &SelectedPetrolRow, w->PetrolReadoutLabel};
}

const MapViews* ViewsOf(const TForm2* window, const QString& selector)
{
    if (selector == QLatin1String("LPG"))
        return &window->LPGViews;
    if (selector == QLatin1String("Petrol"))
        return &window->PetrolViews;
    return nullptr;
}

void RefreshAllViews(TForm2* window)
{
    RefreshChart(window, window->LPGViews);
    RefreshChart(window, window->PetrolViews);
    RefreshGrid(window, window->LPGViews);
    RefreshGrid(window, window->PetrolViews);
}
