// The yardstick of the start-up figure: a bare Qt Widgets window of the
// program's size with what costs most in the program's own window, two charts
// of 80 points with their axes and two tables of 81 columns, on four pages.

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QTabWidget>
#include <QTableWidget>
#include <QValueAxis>
#include <QVBoxLayout>
#include <QWidget>

namespace {

QChartView* Chart()
{
    auto* series = new QLineSeries;
    for (int i = 0; i < 80; ++i)
        series->append(i * 100, 9.0);
    auto* chart = new QChart;
    chart->addSeries(series);
    auto* x = new QValueAxis;
    x->setRange(0, 7900);
    auto* y = new QValueAxis;
    y->setRange(0, 32);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
    return new QChartView(chart);
}

QTableWidget* Table()
{
    auto* table = new QTableWidget(3, 81);
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 81; ++col)
            table->setItem(row, col, new QTableWidgetItem(QString::number(col * 100)));
    return table;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Bare window"));
    auto* pages = new QTabWidget;
    pages->addTab(Chart(), QStringLiteral("chart 1"));
    pages->addTab(Table(), QStringLiteral("table 1"));
    pages->addTab(Chart(), QStringLiteral("chart 2"));
    pages->addTab(Table(), QStringLiteral("table 2"));
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(pages);
    window.resize(1104, 650);
    window.show();
    return app.exec();
}
