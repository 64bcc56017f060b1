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

QList<QAction*> Commands(const TForm2* w)
{
    return {w->N31, w->N32, w->N34, w->N35, w->N36, w->N37, w->N38, w->N40, w->N41};
}

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

void RunOp(TForm2* window, RangeOp op, const QString& caption, const QString& label)
{
    RangeTarget t;
    if (!PageTarget(window, t) || t.points.size() < PointsNeeded(op))
        return;
    double argument = 0.0;
    if (op == RangeOp::Set || op == RangeOp::Add || op == RangeOp::Multiply) {
        QString text = op == RangeOp::Set ? FloatToStr(t.views->table->Uoz[t.points.front()])
            : op == RangeOp::Add          ? QStringLiteral("0")
                                          : QStringLiteral("100");
        if (!AskNumberText(caption, label, text))
            return;
        argument = TypedNumber(text);
    }
    const MapStep step(window, caption);
    const int bad = ApplyRangeOp(*t.views->table, t.points, op, argument);
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
        for (const QAction* a : Commands(window))
            if (!a->shortcut().isEmpty() && a->shortcut()[0] == combination)
                return true;
        return false;
    }

    TForm2* window;
};

} // namespace

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
    const QRect block = t.views->grid->SelectedBlock() & QRect(1, 1, GridCols, GridRows);
    for (int col = block.left(); col <= block.right(); ++col)
        for (int row = block.top(); row <= block.bottom(); ++row)
            t.points.append(CellPoint(col, row));
    std::sort(t.points.begin(), t.points.end());
    return true;
}

void UpdateRangeCommands(TForm2* window)
{
    RangeTarget t;
    const bool onMap = PageTarget(window, t);
    const int n = t.points.size();
    window->N31->setEnabled(onMap && n > 0);
    window->N32->setEnabled(onMap);
    window->N34->setEnabled(onMap && n >= PointsNeeded(RangeOp::Set));
    window->N35->setEnabled(onMap && n >= PointsNeeded(RangeOp::Add));
    window->N36->setEnabled(onMap && n >= PointsNeeded(RangeOp::Multiply));
    window->N37->setEnabled(onMap && n >= PointsNeeded(RangeOp::Interpolate));
    window->N38->setEnabled(onMap && n >= PointsNeeded(RangeOp::Smooth));
    window->N40->setEnabled(onMap && t.views == &window->LPGViews);
    window->N41->setEnabled(onMap && t.views == &window->PetrolViews);
}

void CopyClick(TForm2* window)
{
    RangeTarget t;
    if (!PageTarget(window, t) || t.points.isEmpty())
        return;
    QString text;
    if (t.table) {
        const QRect block = t.views->grid->SelectedBlock() & QRect(1, 1, GridCols, GridRows);
        text = GridBlockText(*t.views->table, block.left(), block.top(), block.right(), block.bottom());
    } else {
        text = SpeedValueText(*t.views->table, t.points);
    }
    QGuiApplication::clipboard()->setText(text);
}

void PasteClick(TForm2* window)
{
    RangeTarget t;
    if (!PageTarget(window, t))
        return;
    // A block goes to the top left cell of the selection: the current cell
    // when it is selected alone.
    const QRect block = t.views->grid->SelectedBlock();
    const PastePlan plan = PlanPaste(QGuiApplication::clipboard()->text(), t.table, block.left(), block.top(), t.points);
    if (!plan.error.isEmpty()) {
        ShowMessage(plan.error);
        return;
    }
    const MapStep step(window, QStringLiteral("Вставить"));
    SetMapValues(*t.views->table, plan.points, plan.values);
    ReloadMap(window, t);
}

void SetValueClick(TForm2* window)
{
    RunOp(window, RangeOp::Set, QStringLiteral("Установить значение"), QStringLiteral("Значение, градусов:"));
}

void AddClick(TForm2* window)
{
    RunOp(window, RangeOp::Add, QStringLiteral("Прибавить"), QStringLiteral("Прибавить градусов (со знаком):"));
}

void MultiplyClick(TForm2* window)
{
    RunOp(window, RangeOp::Multiply, QStringLiteral("Умножить"), QStringLiteral("Умножить на, %:"));
}

void InterpolateClick(TForm2* window)
{
    RunOp(window, RangeOp::Interpolate, QStringLiteral("Интерполировать"), QString());
}

void SmoothClick(TForm2* window)
{
    RunOp(window, RangeOp::Smooth, QStringLiteral("Сгладить"), QString());
}

void CopyMapClick(TForm2* window, bool toLPG)
{
    RangeTarget t;
    if (!PageTarget(window, t) || (t.views == &window->LPGViews) != toLPG)
        return;
    const MapTable& from = toLPG ? PetrolTable : LPGTable;
    const MapStep step(window, toLPG ? QStringLiteral("Копировать карту бензина в газ")
                                     : QStringLiteral("Копировать карту газа в бензин"));
    const int bad = CopyMapValues(*t.views->table, from);
    if (bad >= 0) {
        // The value lies in the map copied from.
        ShowMessage(OutOfRangeMessage(toLPG ? QStringLiteral("бензин") : QStringLiteral("газ"), bad));
        return;
    }
    ReloadMap(window, t);
}

void SetupRangeCommands(TForm2* w)
{
    QMenu* menu = w->N14;
    w->N30 = menu->addSeparator();
    w->N31 = menu->addAction(QStringLiteral("Копировать"));
    w->N32 = menu->addAction(QStringLiteral("Вставить"));
    w->N33 = menu->addSeparator();
    w->N34 = menu->addAction(QStringLiteral("Установить значение…"));
    w->N35 = menu->addAction(QStringLiteral("Прибавить…"));
    w->N36 = menu->addAction(QStringLiteral("Умножить…"));
    w->N37 = menu->addAction(QStringLiteral("Интерполировать"));
    w->N38 = menu->addAction(QStringLiteral("Сгладить"));
    w->N39 = menu->addSeparator();
    w->N40 = menu->addAction(QStringLiteral("Копировать карту бензина в газ"));
    w->N41 = menu->addAction(QStringLiteral("Копировать карту газа в бензин"));

    const struct {
        QAction* action;
        const char* name;
        QKeySequence shortcut;
        void (*handler)(TForm2*);
    } items[] = {
        {w->N31, "N31", QKeySequence(Qt::CTRL | Qt::Key_C), CopyClick},
        {w->N32, "N32", QKeySequence(Qt::CTRL | Qt::Key_V), PasteClick},
        {w->N34, "N34", QKeySequence(Qt::CTRL | Qt::Key_E), SetValueClick},
        {w->N35, "N35", QKeySequence(Qt::CTRL | Qt::Key_D), AddClick},
        {w->N36, "N36", QKeySequence(Qt::CTRL | Qt::Key_M), MultiplyClick},
        {w->N37, "N37", QKeySequence(Qt::CTRL | Qt::Key_I), InterpolateClick},
        {w->N38, "N38", QKeySequence(Qt::CTRL | Qt::Key_G), SmoothClick},
        {w->N40, "N40", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_G), [](TForm2* f) { CopyMapClick(f, true); }},
        {w->N41, "N41", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_B), [](TForm2* f) { CopyMapClick(f, false); }},
    };
    for (const auto& item : items) {
        item.action->setObjectName(QString::fromLatin1(item.name));
        item.action->setShortcut(item.shortcut);
        item.action->setShortcutContext(Qt::WindowShortcut);
        // The menu bar's actions are the window's: the shortcuts work while
        // the menu is closed.
        w->addAction(item.action);
        auto handler = item.handler;
        QObject::connect(item.action, &QAction::triggered, w, [w, handler] { RunHandler([w, handler] { handler(w); }); });
    }
    for (const auto& [object, name] : {std::pair<QAction*, const char*>{w->N30, "N30"}, {w->N33, "N33"}, {w->N39, "N39"}})
        object->setObjectName(QString::fromLatin1(name));

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
