#pragma once

#include <QString>

struct MapTable;

// Writes both maps and the start-timeout text to the file chosen in the save
// dialog, as the XML map file.
void SaveMapFile(MapTable& lpg, MapTable& petrol);
// Reads both maps from the file chosen in the open dialog.
void LoadMapFile(MapTable& lpg, MapTable& petrol);
