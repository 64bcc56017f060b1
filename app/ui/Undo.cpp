#include "app/ui/Undo.h"

#include "editors/ui/ChartEditor.h"
#include "app/ui/Gui2.h"
#include "app/core/MapStore.h"
#include "app/widgets/Seams.h"
#include "editors/widgets/StringGrid.h"
#include "editors/ui/TableEditor.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QUndoStack>
#include <cstring>

namespace {

// Both tables, as one value.
struct MapState {
    MapTable lpg;
    MapTable petrol;
};

MapState CurrentState() { return {LPGTable, PetrolTable}; }

bool SameBits(const MapState& a, const MapState& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Key presses on one chart share a run number until other input comes in
// between; steps of the same run merge.
int runNumber = 0;
QPointer<QWidget> runChart;

void EndRun() { ++runNumber; }

void PutBack(TForm2* window, const MapState& state)
{
    LPGTable = state.lpg;
    PetrolTable = state.petrol;
    EndRun();
    RefreshAllViews(window);
}

class MapStepCommand : public QUndoCommand {
public:
    MapStepCommand(TForm2* window, const QString& text, const MapState& before, const MapState& after,
                   StepKind kind)
        : QUndoCommand(text)
        , window(window)
        , before(before)
        , after(after)
        , kind(kind)
        , run(runNumber)
    {
    }

    int id() const override { return kind == StepKind::Command ? -1 : static_cast<int>(kind); }

    bool mergeWith(const QUndoCommand* other) override
    {
        // Same id: the same chart's key presses.
        const auto* next = static_cast<const MapStepCommand*>(other);
        if (next->run != run)
            return false;
        after = next->after;
        return true;
    }

    void undo() override { PutBack(window, before); }

    void redo() override
    {
        // The first redo is the push: the command has already changed the tables.
        if (pushed)
            PutBack(window, after);
        pushed = true;
    }

private:
    TForm2* window;
    MapState before;
    MapState after;
    StepKind kind;
    int run;
    bool pushed = false;
};

bool IsUndoKey(const QKeyEvent* event)
{
    const QKeyCombination combination(event->modifiers() & ~Qt::KeypadModifier, Qt::Key(event->key()));
    for (const QKeySequence& s : {QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z),
                                  QKeySequence(Qt::CTRL | Qt::Key_Y)})
        if (s[0] == combination)
            return true;
    return false;
}

// Watches the input of the whole program: ends a run of chart key presses at
// any other input, and gives Ctrl+Z, Ctrl+Shift+Z and Ctrl+Y to the window's
// undo and redo wherever the focus is, except in an open cell editor of a
// grid, where they belong to the editor's text.
class UndoInput : public QObject {
public:
    explicit UndoInput(TForm2* window)
        : QObject(window)
        , window(window)
    {
    }

    bool eventFilter(QObject* receiver, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
            if (receiver->isWidgetType() && !OnRunChart(static_cast<QWidget*>(receiver)))
                EndRun();
            break;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
            EndRun();
            break;
        case QEvent::ShortcutOverride: {
            auto* key = static_cast<QKeyEvent*>(event);
            if (!receiver->isWidgetType() || !IsUndoKey(key))
                break;
            auto* widget = static_cast<QWidget*>(receiver);
            if (widget->window() != window)
                break;
            if (InCellEditor(widget)) {
                key->accept();  // the editor's own
                return true;
            }
            key->ignore();  // the window's shortcut, also over an edit box
            return true;
        }
        default:
            break;
        }
        return false;
    }

private:
    bool OnRunChart(QWidget* w) const
    {
        QWidget* chart = runChart;
        return chart && (w == chart || chart->isAncestorOf(w) || w->isAncestorOf(chart));
    }

    bool InCellEditor(QWidget* w) const
    {
        for (TStringGrid* grid : {window->StringGridLPG, window->StringGridPetrol}) {
            QWidget* editor = grid->Editor();
            if (editor && (w == editor || editor->isAncestorOf(w)))
                return true;
        }
        return false;
    }

    TForm2* window;
};

}  // namespace

void SetupUndo(TForm2* window)
{
    EndRun();
    runChart = nullptr;

    window->UndoStack = new QUndoStack(window);
    window->UndoStack->setObjectName(QStringLiteral("UndoStack"));
    window->UndoStack->setUndoLimit(UndoSteps);

    // "Правка" after "Файл", before the menus without items.
    window->N14 = new QMenu(QStringLiteral("Правка"), window->MainMenu);
    window->N14->setObjectName(QStringLiteral("N14"));
    window->MainMenu->insertMenu(window->N5, window->N14);
    window->N15 = window->N14->addAction(QStringLiteral("Отменить"));
    window->N15->setObjectName(QStringLiteral("N15"));
    window->N15->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    window->N16 = window->N14->addAction(QStringLiteral("Повторить"));
    window->N16->setObjectName(QStringLiteral("N16"));
    window->N16->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    for (QAction* a : {window->N15, window->N16}) {
        a->setShortcutContext(Qt::WindowShortcut);
        a->setEnabled(false);
        // The menu bar's actions are the window's: the shortcuts work while
        // the menu is closed.
        window->addAction(a);
    }

    QUndoStack* stack = window->UndoStack;
    QObject::connect(stack, &QUndoStack::canUndoChanged, window->N15, &QAction::setEnabled);
    QObject::connect(stack, &QUndoStack::canRedoChanged, window->N16, &QAction::setEnabled);
    // During a marker drag they put the drag back, as Escape does, and
    // nothing else.
    QObject::connect(window->N15, &QAction::triggered, stack, [window, stack] {
        if (!PutBackMarkerDrag(window))
            RunHandler([stack] { stack->undo(); });
    });
    QObject::connect(window->N16, &QAction::triggered, stack, [window, stack] {
        if (!PutBackMarkerDrag(window))
            RunHandler([stack] { stack->redo(); });
    });

    qApp->installEventFilter(new UndoInput(window));
}

MapStep::MapStep(TForm2* window, const QString& text, StepKind kind)
    : window(window)
    , text(text)
    , kind(kind)
    , lpg(LPGTable)
    , petrol(PetrolTable)
{
}

MapStep::~MapStep()
{
    const MapState before{lpg, petrol};
    const MapState now = CurrentState();
    if (kind == StepKind::Command)
        EndRun();
    if (SameBits(now, before))
        return;
    if (kind == StepKind::Command) {
        runChart = nullptr;
    } else {
        QWidget* chart = kind == StepKind::LPGChartKey ? static_cast<QWidget*>(window->ChartLPG)
                                                       : static_cast<QWidget*>(window->ChartPetrol);
        if (runChart != chart)
            EndRun();
        runChart = chart;
    }
    window->UndoStack->push(new MapStepCommand(window, text, before, now, kind));
    if (kind == StepKind::Command)
        EndRun();
}
