#include "mapfile/ui/Report.h"

#include "app/core/MapCompare.h"
#include "app/core/MapStore.h"
#include "app/core/NumberText.h"
#include "app/ui/Gui2.h"
#include "app/widgets/Seams.h"
#include "app/core/Visit.h"
#include "editors/ui/ChartEditor.h"
#include "editors/widgets/ChartWidget.h"
#include "mapfile/core/MapFile.h"

#include <QBuffer>
#include <QChart>
#include <QLegend>
#include <QLineSeries>
#include <QValueAxis>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QDateTime>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QLocale>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextDocument>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {

// The chart is drawn this wide in the document, in its own pixels; the page
// scales it to the text width.
constexpr int ChartWidth = 820;
constexpr int ChartHeight = 380;
// The chart's width on the page, in the document's own pixels (the page's
// text is some 680 wide).
constexpr int ChartPageWidth = 650;

QString Escaped(const QString& text)
{
    return text.toHtmlEscaped();
}

// Speeds as every other text of the program writes them: plain digits,
// "1500", never grouped.
QString Speed(int point)
{
    return QString::number(point * RpmStep);
}

// The chart of one map as the window draws it, reference line and all, at a
// size of its own, whatever the window's size.
QImage ChartImage(TChart* view)
{
    QChart* chart = view->chart();
    const QSizeF shown = chart->size();
    const auto layOut = [chart](const QSizeF& size) {
        chart->resize(size);
        if (chart->layout())
            chart->layout()->activate();
    };
    layOut(QSizeF(ChartWidth, ChartHeight));
    QImage image(ChartWidth * 2, ChartHeight * 2, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        view->scene()->render(&painter, QRectF(image.rect()), QRectF(chart->pos(), chart->size()));
    }
    layOut(shown);
    return image;
}

// The chart of one map's "до" and "после" lines, drawn at a size of its own.
QImage BeforeAfterImage(const MapTable& before, const MapTable& after)
{
    QGraphicsScene scene;
    auto* chart = new QChart;
    scene.addItem(chart);
    auto* axisX = new QValueAxis;
    // A tick every thousand rpm, as the table's columns.
    axisX->setRange(0, MapPoints * RpmStep);
    axisX->setTickCount(MapPoints / GridRows + 1);
    axisX->setLabelFormat(QStringLiteral("%d"));
    axisX->setTitleText(QStringLiteral("об/мин"));
    auto* axisY = new QValueAxis;
    axisY->setTitleText(QStringLiteral("УОЗ, градусы"));
    double low = 0;
    double high = 0;
    for (const MapTable* map : {&before, &after})
        for (double uoz : map->Uoz) {
            low = std::min(low, uoz);
            high = std::max(high, uoz);
        }
    axisY->setRange(std::floor(low) - 1, std::ceil(high) + 1);
    axisY->applyNiceNumbers();
    chart->addAxis(axisX, Qt::AlignBottom);
    chart->addAxis(axisY, Qt::AlignLeft);
    const struct {
        const MapTable* map;
        const char* name;
        QColor colour;
        Qt::PenStyle style;
    } lines[] = {{&before, "до", QColor(128, 128, 128), Qt::DashLine}, {&after, "после", QColor(0, 0, 192), Qt::SolidLine}};
    for (const auto& line : lines) {
        auto* series = new QLineSeries;
        series->setName(QString::fromUtf8(line.name));
        for (int i = 0; i < MapPoints; ++i)
            series->append(i * RpmStep, line.map->Uoz[i]);
        QPen pen(line.colour);
        pen.setWidthF(2);
        pen.setStyle(line.style);
        series->setPen(pen);
        chart->addSeries(series);
        series->attachAxis(axisX);
        series->attachAxis(axisY);
    }
    chart->legend()->setAlignment(Qt::AlignTop);
    chart->resize(ChartWidth, ChartHeight);
    if (chart->layout())
        chart->layout()->activate();
    QImage image(ChartWidth * 2, ChartHeight * 2, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    scene.render(&painter, QRectF(image.rect()), QRectF(chart->pos(), chart->size()));
    return image;
}

// The 80 values laid out as the window's table shows them: a column a
// thousand rpm, a row a hundred more.
QString ValueTable(const MapTable& table)
{
    QString html = QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%\"><tr>"
                                  "<th>об/мин</th>");
    for (int col = 1; col <= GridCols; ++col)
        html += QStringLiteral("<th>%1</th>").arg(Speed(CellPoint(col, 1)));
    html += QStringLiteral("</tr>");
    for (int row = 1; row <= GridRows; ++row) {
        html += QStringLiteral("<tr><th>+%1</th>").arg(Speed(CellPoint(1, row)));
        for (int col = 1; col <= GridCols; ++col)
            html += QStringLiteral("<td align=\"right\">%1</td>").arg(FloatToStr(table.Uoz[CellPoint(col, row)]));
        html += QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</table>");
}

// The points that differ from the reference, each with both values.
QString Differences(const MapReference& reference, const MapTable& table)
{
    if (!reference.exists)
        return QStringLiteral("<p>Исходной карты нет: карта не читалась из вариатора, не открывалась и не "
                              "сохранялась.</p>");
    QStringList points;
    for (int i = 0; i < MapPoints; ++i) {
        if (!DiffersFromReference(reference, table, i))
            continue;
        const double was = reference.Uoz[i];
        points << QStringLiteral("%1 об/мин: %2 (исходная %3)")
                      .arg(Speed(i), FloatToStr(table.Uoz[i]),
                           std::isnan(was) ? QStringLiteral("не прочитана") : FloatToStr(was));
    }
    if (points.isEmpty())
        return QStringLiteral("<p>Все точки совпадают с исходной картой.</p>");
    return QStringLiteral("<p>Отличаются от исходной карты точек: %1</p><p>%2</p>")
        .arg(QLocale().toString(points.size()), points.join(QStringLiteral("; ")));
}

// The points at which the car's map now differs from what it came in with,
// each with both values.
QString ChangedPoints(const MapTable& before, const MapTable& after)
{
    const QList<int> changed = DifferingPoints(before, after);
    if (changed.isEmpty())
        return QStringLiteral("<p>Карта не изменялась.</p>");
    QStringList points;
    for (int i : changed)
        points << QStringLiteral("%1 об/мин: до %2, после %3")
                      .arg(Speed(i), FloatToStr(before.Uoz[i]), FloatToStr(after.Uoz[i]));
    return QStringLiteral("<p>Изменено точек: %1</p><p>%2</p>")
        .arg(QLocale().toString(changed.size()), points.join(QStringLiteral("; ")));
}

QString VisitSection(QTextDocument& document, const QString& title, const QString& resource, const MapTable& before,
                     const MapTable& after, bool newPage)
{
    document.addResource(QTextDocument::ImageResource, QUrl(resource), BeforeAfterImage(before, after));
    return QStringLiteral("<h2%1>%2</h2><p><img src=\"%3\" width=\"%4\"></p><h3>Значения в вариаторе, градусы</h3>%5"
                          "<h3>Отличия от карты до работ</h3>%6")
        .arg(newPage ? QStringLiteral(" style=\"page-break-before: always\"") : QString(), Escaped(title), resource)
        .arg(ChartPageWidth)
        .arg(ValueTable(after), ChangedPoints(before, after));
}

QString MapSection(QTextDocument& document, TChart* chart, const QString& title, const QString& resource,
                   const MapTable& table, const MapReference& reference, bool newPage)
{
    document.addResource(QTextDocument::ImageResource, QUrl(resource), ChartImage(chart));
    return QStringLiteral("<h2%1>%2</h2><p><img src=\"%3\" width=\"%4\"></p><h3>Значения, градусы</h3>%5"
                          "<h3>Отличия от исходной карты</h3>%6")
        .arg(newPage ? QStringLiteral(" style=\"page-break-before: always\"") : QString(), Escaped(title), resource)
        .arg(ChartPageWidth)
        .arg(ValueTable(table), Differences(reference, table));
}

}  // namespace

QByteArray MapReportPdf(TForm2* window)
{
    // The charts show the maps as they are now, as a change of page would.
    RefreshChart(window, QStringLiteral("LPG"));
    RefreshChart(window, QStringLiteral("Petrol"));

    QTextDocument document;
    QFont font = document.defaultFont();
    font.setPointSizeF(9);
    document.setDefaultFont(font);

    const Visit& visit = CurrentVisit;
    const QString typed = window->CarNoteEdit->text().trimmed();
    const QString note = typed.isEmpty() ? visit.car : typed;
    const auto row = [](const QString& name, const QString& value) {
        return QStringLiteral("<tr><td>%1</td><td><b>%2</b></td></tr>").arg(name, Escaped(value));
    };
    QString html = QStringLiteral("<h1>Карты УОЗ вариатора</h1><table cellspacing=\"0\" cellpadding=\"2\">");
    html += row(QStringLiteral("Автомобиль"), note.isEmpty() ? QStringLiteral("не указан") : note);
    html += row(QStringLiteral("Дата и время"), QLocale().toString(QDateTime::currentDateTime(), QLocale::ShortFormat));
    html += row(QStringLiteral("Порт"), visit.readPort > 0 ? QStringLiteral("COM%1").arg(visit.readPort)
                                                           : QStringLiteral("карты не читались из вариатора"));
    html += row(QStringLiteral("Версия прошивки"), window->MicroCodeVersionEdit->text());
    html += row(QStringLiteral("Время до включения вариатора"), window->EEditVariatorStartTimeout->text());
    html += QStringLiteral("</table>");
    if (visit.hasBefore) {
        // What the car came in with beside what it leaves with.
        const CarState& before = visit.before;
        const CarState& after = visit.hasAfter ? visit.after : visit.before;
        const int lpgChanged = int(DifferingPoints(before.lpg, after.lpg).size());
        const int petrolChanged = int(DifferingPoints(before.petrol, after.petrol).size());
        html += lpgChanged + petrolChanged == 0
                    ? QStringLiteral("<p><b>Карты автомобиля не изменялись.</b></p>")
                    : QStringLiteral("<p><b>Изменено точек: %1 (газ: %2, бензин: %3).</b></p>")
                          .arg(QLocale().toString(lpgChanged + petrolChanged), QLocale().toString(lpgChanged),
                               QLocale().toString(petrolChanged));
        if (!visit.beforeRead)
            html += QStringLiteral("<p>«До» — карты, которые вариатор хранил перед первой записью.</p>");
        if (DifferingPointCount(LPGTable, PetrolTable, after.lpg, after.petrol) != 0)
            html += QStringLiteral("<p>Карты в программе отличаются от записанных в вариатор; в отчёте — то, что "
                                   "хранит вариатор.</p>");
        html += VisitSection(document, QString::fromUtf8(LPGMapTitle), QStringLiteral("chart:lpg"), before.lpg,
                             after.lpg, false);
        html += VisitSection(document, QString::fromUtf8(PetrolMapTitle), QStringLiteral("chart:petrol"),
                             before.petrol, after.petrol, true);
    } else {
        html += QStringLiteral("<p><b>Карты из вариатора не читались: отличия показаны от исходной карты.</b></p>");
        html += MapSection(document, window->ChartLPG, QString::fromUtf8(LPGMapTitle), QStringLiteral("chart:lpg"),
                           LPGTable, LPGReference, false);
        html += MapSection(document, window->ChartPetrol, QString::fromUtf8(PetrolMapTitle),
                           QStringLiteral("chart:petrol"), PetrolTable, PetrolReference, true);
    }
    document.setHtml(html);

    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setTitle(QStringLiteral("Карты УОЗ вариатора") + (note.isEmpty() ? QString() : QStringLiteral(": ") + note));
        pdf.setCreator(QStringLiteral("Tarvo GUI"));
        pdf.setResolution(300);
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 15, 15, 15),
                                      QPageLayout::Millimeter));
        document.print(&pdf);
    }
    return bytes;
}

QString ReportSaveError(const QString& fileName)
{
    return QStringLiteral("Отчёт не сохранён: не удалось записать «%1»: ").arg(fileName);
}

void SaveMapReport(TForm2* window, const QString& fileName)
{
    QString reason;
    if (!WriteWholeFile(fileName, MapReportPdf(window), &reason))
        throw std::runtime_error((ReportSaveError(fileName) + reason).toStdString());
}

// "Файл" / "Отчёт в PDF…"
void TForm2::N24Click()
{
    if (!ReportDialog1) {
        ReportDialog1 = new QFileDialog(this);
        ReportDialog1->setObjectName(QStringLiteral("ReportDialog1"));
        ReportDialog1->setAcceptMode(QFileDialog::AcceptSave);
        ReportDialog1->setFileMode(QFileDialog::AnyFile);
        ReportDialog1->setDefaultSuffix(QStringLiteral("pdf"));
        ReportDialog1->setNameFilter(QStringLiteral("PDF (*.pdf)"));
    }
    QString fileName;
    if (ExecuteFileDialog(ReportDialog1, fileName))
        SaveMapReport(this, fileName);
}
