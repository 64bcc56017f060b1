#pragma once

struct MapTable;
class TForm2;

// Which maps a command takes from a map file or a restore point: both, as
// "Открыть" always did, or one of them, the other staying as it is.
enum class MapChoice {
    Both,
    LPG,
    Petrol
};

// Takes the chosen maps of lpg and petrol into the map store as "Открыть"
// takes a file: one undo step; each map taken becomes its own reference and
// is kept; a map not taken keeps its values, its reference and whether it is
// kept. All four views are reloaded.
void TakeMaps(TForm2* window, const MapTable& lpg, const MapTable& petrol, MapChoice choice);

// The open dialog, then both maps of the chosen file read whole into lpg and
// petrol, which start as copies of the map store: false when no file was
// chosen; a refused file throws and leaves the map store as it is.
bool AskMapFile(TForm2* window, MapTable& lpg, MapTable& petrol);

// "Файл" / "Открыть" (both maps), "Открыть только карту газа…" and
// "Открыть только карту бензина…": the open dialog, then the chosen maps of
// the file, all or nothing; false when no file was chosen.
bool OpenMaps(TForm2* window, MapChoice choice);

// Adds "История…", "Открыть как исходную карту…", "Открыть только карту
// газа…", "Открыть только карту бензина…" and "Отчёт в PDF…" after the items
// of "Файл" and their separator. The window's constructor calls it once.
void SetupMapFileMenu(TForm2* window);
