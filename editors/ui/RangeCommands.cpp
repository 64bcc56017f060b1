#include "editors/ui/RangeCommands.h"

#include "app/core/MapStore.h"
#include "app/core/NumberText.h"
#include "app/ui/Gui2.h"
#include "app/ui/Undo.h"
#include "app/widgets/Seams.h"
#include "editors/core/MapClipboard.h"
#include "editors/core/RangeOps.h"
#include "editors/ui/ChartEditor.h"
#include "editors/ui/MapViews.h"
#include "editors/ui/TableEditor.h"
#include "editors/widgets/ChartWidget.h"
#include "editors/widgets/StringGrid.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTabWidget>
#include <algorithm>

namespace {

struct Command;
using CommandRun = void (*)(TForm2* window, const Command& c);

// Where a command may run: any map page, or only a page of one fuel.
enum class Pages {
    Any,
    LPG,
    Petrol
};

// One item of "Правка" after "Повторить", or a separator (no text).
struct Command {
    QAction* TForm2::*action;
    const char* name;  // object name of the action
    const char* text;  // menu text; null for a separator
    QKeyCombination shortcut;
    CommandRun run;
    int pointsNeeded;  // selected points it needs at least
    Pages pages;
    RangeOp op;            // for RunOp
    const char* caption;   // the undo step's text and the question's caption
    const char* question;  // the number asked; null when nothing is asked
    const char* answer;    // the question's first answer; null: the first selected point's value
};

void CopyClick(TForm2* window, const Command&);
void PasteClick(TForm2* window, const Command&);
void RunOp(TForm2* window, const Command& c);
void CopyMapClick(TForm2* window, const Command& c);

const Command Commands[] = {
    {&TForm2::N30, "N30", nullptr, {}, nullptr, 0, Pages::Any, RangeOp::Set, nullptr, nullptr, nullptr},
    {&TForm2::N31, "N31", "Копировать", Qt::CTRL | Qt::Key_C, CopyClick, 1, Pages::Any, RangeOp::Set,
     nullptr, nullptr, nullptr},
    {&TForm2::N32, "N32", "Вставить", Qt::CTRL | Qt::Key_V, PasteClick, 0, Pages::Any, RangeOp::Set,
     "Вставить", nullptr, nullptr},
    {&TForm2::N33, "N33", nullptr, {}, nullptr, 0, Pages::Any, RangeOp::Set, nullptr, nullptr, nullptr},
    {&TForm2::N34, "N34", "Установить значение…", Qt::CTRL | Qt::Key_E, RunOp, PointsNeeded(RangeOp::Set),
     Pages::Any, RangeOp::Set, "Установить значение", "Значение, градусов:", nullptr},
    {&TForm2::N35, "N35", "Прибавить…", Qt::CTRL | Qt::Key_D, RunOp, PointsNeeded(RangeOp::Add),
     Pages::Any, RangeOp::Add, "Прибавить", "Прибавить градусов (со знаком):", "0"},
    {&TForm2::N36, "N36", "Умножить…", Qt::CTRL | Qt::Key_M, RunOp, PointsNeeded(RangeOp::Multiply),
     Pages::Any, RangeOp::Multiply, "Умножить", "Умножить на, %:", "100"},
    {&TForm2::N37, "N37", "Интерполировать", Qt::CTRL | Qt::Key_I, RunOp, PointsNeeded(RangeOp::Interpolate),
     Pages::Any, RangeOp::Interpolate, "Интерполировать", nullptr, nullptr},
    {&TForm2::N38, "N38", "Сгладить", Qt::CTRL | Qt::Key_G, RunOp, PointsNeeded(RangeOp::Smooth),
     Pages::Any, RangeOp::Smooth, "Сгладить", nullptr, nullptr},
    {&TForm2::N39, "N39", nullptr, {}, nullptr, 0, Pages::Any, RangeOp::Set, nullptr, nullptr, nullptr},
    {&TForm2::N40, "N40", "Копировать карту бензина в газ", Qt::CTRL | Qt::SHIFT | Qt::Key_G, CopyMapClick, 0,
     Pages::LPG, RangeOp::Set, "Копировать карту бензина в газ", nullptr, nullptr},
    {&TForm2::N41, "N41", "Копировать карту газа в бензин", Qt::CTRL | Qt::SHIFT | Qt::Key_B, CopyMapClick, 0,
     Pages::Petrol, RangeOp::Set, "Копировать карту газа в бензин", nullptr, nullptr},
};

// Reloads the chart and the table of the map.
void ReloadMap(TForm2* window, const RangeTarget& t)
{
    RefreshChart(window, *t.views);
    RefreshGrid(window, *t.views);
}

// A number typed by the user: the regional decimal separator or ".".
double TypedNumber(const QString& text)
{
    double value = 0.0;
    if (TextToFloat(text, {DecimalSeparator(), QStringLiteral(".")}, value))
        return value;
    return StrToFloat(text);  // not a number either way: the conversion error
}

void RunOp(TForm2* window, const Command& c)
{
    RangeTarget t;
    if (!PageTarget(window, t) || t.points.size() < c.pointsNeeded)
        return;
    const QString caption = QString::fromUtf8(c.caption);
    double argument = 0.0;
    if (c.question) {
        QString text = c.answer ? QString::fromUtf8(c.answer) : FloatToStr(t.views->table->Uoz[t.points.front()]);
        if (!AskNumberText(caption, QString::fromUtf8(c.question), text))
            return;
        argument = TypedNumber(text);
    }
    const MapStep step(window, caption);
    const int bad = ApplyRangeOp(*t.views->table, t.points, c.op, argument);
    if (bad >= 0) {
        ShowMessage(OutOfRangeMessage(t.mapName, bad));
        return;
    }
    ReloadMap(window, t);
}

// Gives Ctrl+C, Ctrl+V and the other items' shortcuts to an open cell editor
// of a grid, and brings the items' enabled state up to date before the
// window's shortcuts are looked up.
class RangeInput : public QObject {
public:
    explicit RangeInput(TForm2* window)
        : QObject(window)
        , window(window)
    {
    }

    bool eventFilter(QObject* receiver, QEvent* event) override
    {
        if (event->type() != QEvent::ShortcutOverride || !receiver->isWidgetType())
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        auto* widget = static_cast<QWidget*>(receiver);
        if (widget->window() != window || !IsCommandKey(key))
            return false;
        for (TStringGrid* grid : {window->StringGridLPG, window->StringGridPetrol}) {
            QWidget* editor = grid->Editor();
            if (editor && (widget == editor || editor->isAncestorOf(widget))) {
                key->accept();  // the editor's own
                return true;
            }
        }
        UpdateRangeCommands(window);
        return false;
    }

private:
    bool IsCommandKey(const QKeyEvent* event) const
    {
        const QKeyCombination combination(event->modifiers() & ~Qt::KeypadModifier, Qt::Key(event->key()));
        for (const Command& c : Commands)
            if (c.text && window->*c.action && (window->*c.action)->shortcut() == QKeySequence(combination))
                return true;
        return false;
    }

    TForm2* window;
};

}  // namespace

bool PageTarget(TForm2* window, RangeTarget& t)
{
    QWidget* page = window->PageControl1->currentWidget();
    const bool lpg = page == window->TabSheetLPGmap || page == window->TabSheetUOZGrid;
    const bool petrol = page == window->TabSheetPetrolmap || page == window->TabSheetPetrolGrid;
    if (!lpg && !petrol)
        return false;
    t.views = lpg ? &window->LPGViews : &window->PetrolViews;
    t.mapName = lpg ? QStringLiteral("газ") : QStringLiteral("бензин");
    t.table = page == window->TabSheetUOZGrid || page == window->TabSheetPetrolGrid;
    t.points.clear();
    if (!t.table) {
        t.points = ChartSelection(*t.views);
        return true;
    }
    // The grid's run of cells, in engine-speed order.
    for (const QPoint& cell : t.views->grid->SelectedCells())
        if (cell.x() >= 1 && cell.x() <= GridCols && cell.y() >= 1 && cell.y() <= GridRows)
            t.points.append(CellPoint(cell.x(), cell.y()));
    std::sort(t.points.begin(), t.points.end());
    return true;
}

void UpdateRangeCommands(TForm2* window)
{
    RangeTarget t;
    const bool onMap = PageTarget(window, t);
    for (const Command& c : Commands) {
        if (!c.text)
            continue;
        const bool page = c.pages == Pages::Any || (c.pages == Pages::LPG) == (t.views == &window->LPGViews);
        (window->*c.action)->setEnabled(onMap && page && t.points.size() >= c.pointsNeeded);
    }
}

namespace {

void CopyClick(TForm2* window, const Command&)
{
    RangeTarget t;
    if (!PageTarget(window, t) || t.points.isEmpty())
        return;
    // The whole map from a table keeps the table's shape, for a spreadsheet;
    // any other run is "rpm<TAB>value" lines, as from a chart.
    const QString text = t.table && t.points.size() == MapPoints
                           ? GridBlockText(*t.views->table, 1, 1, GridCols, GridRows)
                           : SpeedValueText(*t.views->table, t.points);
    QGuiApplication::clipboard()->setText(text);
}

void PasteClick(TForm2* window, const Command& c)
{
    RangeTarget t;
    if (!PageTarget(window, t))
        return;
    // A block goes to the first cell of the run, the lowest speed: the
    // current cell when it is selected alone.
    const int first = t.points.isEmpty() ? 0 : t.points.front();
    const PastePlan plan =
        PlanPaste(QGuiApplication::clipboard()->text(), t.table, PointCol(first), PointRow(first), t.points);
    if (!plan.error.isEmpty()) {
        ShowMessage(plan.error);
        return;
    }
    const MapStep step(window, QString::fromUtf8(c.caption));
    SetMapValues(*t.views->table, plan.points, plan.values);
    ReloadMap(window, t);
}

void CopyMapClick(TForm2* window, const Command& c)
{
    const bool toLPG = c.pages == Pages::LPG;
    RangeTarget t;
    if (!PageTarget(window, t) || (t.views == &window->LPGViews) != toLPG)
        return;
    const MapTable& from = toLPG ? PetrolTable : LPGTable;
    const MapStep step(window, QString::fromUtf8(c.caption));
    const int bad = CopyMapValues(*t.views->table, from);
    if (bad >= 0) {
        // The value lies in the map copied from.
        ShowMessage(OutOfRangeMessage(toLPG ? QStringLiteral("бензин") : QStringLiteral("газ"), bad));
        return;
    }
    ReloadMap(window, t);
}

}  // namespace

void SetupRangeCommands(TForm2* w)
{
    QMenu* menu = w->N14;
    for (const Command& item : Commands) {
        QAction*& action = w->*item.action;
        action = item.text ? menu->addAction(QString::fromUtf8(item.text)) : menu->addSeparator();
        action->setObjectName(QString::fromLatin1(item.name));
        if (!item.text)
            continue;
        action->setShortcut(QKeySequence(item.shortcut));
        action->setShortcutContext(Qt::WindowShortcut);
        // The menu bar's actions are the window's: the shortcuts work while
        // the menu is closed.
        w->addAction(action);
        const Command* c = &item;
        // A command that changes the maps does nothing while a marker is
        // held: the drag owns them until its release (a transfer waits the
        // same way), and its one undo step must not swallow another change.
        QObject::connect(action, &QAction::triggered, w, [w, c] {
            if (c->caption && MarkerDragHeld(w))
                return;
            RunHandler([w, c] { c->run(w, *c); });
        });
    }

    auto update = [w] { UpdateRangeCommands(w); };
    QObject::connect(menu, &QMenu::aboutToShow, w, update);
    QObject::connect(w->PageControl1, &QTabWidget::currentChanged, w, update);
    for (const MapViews* m : {&w->LPGViews, &w->PetrolViews}) {
        QObject::connect(m->fullMap, &QCheckBox::toggled, w, update);
        QObject::connect(m->grid->selectionModel(), &QItemSelectionModel::selectionChanged, w, update);
        QObject::connect(m->grid->selectionModel(), &QItemSelectionModel::currentChanged, w, update);
        const MapViews* views = m;
        m->chart->OnDragSelect = [w, views](int from, int to) {
            RunEventHandler([&] {
                ChartDragSelect(w, *views, from, to);
                UpdateRangeCommands(w);
            });
        };
    }
    qApp->installEventFilter(new RangeInput(w));
    UpdateRangeCommands(w);
}
