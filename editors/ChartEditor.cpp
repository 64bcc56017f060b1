#include "ChartEditor.h"

#include "ChartWidget.h"
#include "Gui2.h"

#include <QChart>
#include <QLineSeries>

int SelectedLPGPoint = 0;
int SelectedPetrolPoint = 0;
unsigned char MouseInLPGChart = 0;
unsigned char MouseInPetrolChart = 0;

QLineSeries* SetupMapChart(TChart* chart, const QString& title, MarkerStyle marker)
{
    (void)marker;
    auto* series = new QLineSeries;
    chart->chart()->setTitle(title);
    chart->chart()->addSeries(series);
    chart->chart()->legend()->hide();
    return series;
}

void RefreshChart(TForm2* window, const QString& selector)
{
    (void)window;
    (void)selector;
}

void TForm2::ChartLPGKeyDown(int key) { (void)key; }
void TForm2::ChartPetrolKeyDown(int key) { (void)key; }
void TForm2::ChartLPGClickSeries(int valueIndex, Qt::MouseButton button) { (void)valueIndex; (void)button; }
void TForm2::ChartPetrolClickSeries(int valueIndex, Qt::MouseButton button) { (void)valueIndex; (void)button; }
void TForm2::ChartLPGMouseEnter() {}
void TForm2::ChartLPGMouseLeave() {}
void TForm2::ChartPetrolMouseEnter() {}
void TForm2::ChartPetrolMouseLeave() {}
void TForm2::LPGScaleCheckBoxClick() {}
void TForm2::PetrolScaleCheckBoxClick() {}
void TForm2::PageControl1Change() {}
void TForm2::Button1Click() {}
