#pragma once

#include <QList>
#include <QString>

class TForm2;
struct MapViews;

// The commands of "Правка" that shape a map: the clipboard ("Копировать",
// "Вставить"), the range operations ("Установить значение…", "Прибавить…",
// "Умножить…", "Интерполировать", "Сгладить") and the copy of one fuel's map
// to the other. They act on the selection of the page in front: the chart's
// selected points (all 80 in whole-map mode) or the table's selected cells,
// in engine-speed order; on "Настройки вариатора" they are disabled. Each
// change is one undo step, is all or nothing, and reloads the chart and the
// table of the map it changed.

// Adds the items to "Правка" after "Повторить" and a separator, with their
// shortcuts. The window's constructor calls it once, after SetupUndo.
void SetupRangeCommands(TForm2* window);

// The page in front as a target of the commands: its map's views, whether it
// is a table page, and the selected points. False on the settings page.
struct RangeTarget {
    const MapViews* views = nullptr;
    QString mapName;  // "газ" or "бензин"
    bool table = false;
    QList<int> points;
};
bool PageTarget(TForm2* window, RangeTarget& target);

// Enables the items that the page in front and its selection allow.
void UpdateRangeCommands(TForm2* window);
