#pragma once

class QString;
struct MapTable;

// The maps as they were last opened from a file, saved to one, read
// completely from the variator or written completely to it: the maps that are
// safe somewhere. Closing the window with other maps asks first.

// Remembers both maps as kept.
void KeepMaps(const MapTable& lpg, const MapTable& petrol);

// Remembers one map as kept, "LPG" or "Petrol" by selector; the other stays
// as it was kept.
void KeepMap(const QString& selector, const MapTable& table);

// Whether both maps equal the kept ones point by point, by wire code (the
// compare's rule: residue below a thousandth of a degree is no change).
bool MapsKept(const MapTable& lpg, const MapTable& petrol);
