#pragma once

#include "app/core/MapStore.h"

#include <QString>

class TForm2;

// Undo and redo of the map store. Every change of the two map tables is one
// step on the window's undo stack (QUndoStack), which holds both tables as
// they were before and after it; undo and redo put them back bit for bit and
// reload the four views as the template command does. A run of key presses on
// one chart, with no other input in between, is one step.

// Steps kept; older ones are dropped.
constexpr int UndoSteps = 1000;

// What a step comes from: a command, or a key press on one of the charts
// (presses of one run merge).
enum class StepKind {
    Command,
    LPGChartKey,
    PetrolChartKey
};

// Creates the window's undo stack and the menu "Правка" after "Файл" with
// "Отменить" (Ctrl+Z) and "Повторить" (Ctrl+Shift+Z, Ctrl+Y). The tables as
// they are then are where undo stops: the stack starts empty, both items off.
// The window's constructor calls it once.
void SetupUndo(TForm2* window);

// Marks one command that may change the map store: it keeps both tables as
// they are when the command starts, and when the command ends, however it
// ends, a change of either table becomes one step. A command that changed
// nothing adds none.
class MapStep {
public:
    MapStep(TForm2* window, const QString& text, StepKind kind = StepKind::Command);
    ~MapStep();
    MapStep(const MapStep&) = delete;
    MapStep& operator=(const MapStep&) = delete;

private:
    TForm2* window;
    QString text;
    StepKind kind;
    MapTable lpg;
    MapTable petrol;
};
