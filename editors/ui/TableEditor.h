#pragma once

#include <QString>

class TForm2;
struct MapViews;

// The cell each grid last reported as selected.
extern int SelectedLPGCol;
extern int SelectedLPGRow;
extern int SelectedPetrolCol;
extern int SelectedPetrolRow;

// Reloads the grid of the map named by selector ("LPG" or "Petrol") from its
// table. Any other text does nothing, here and in CommitGridCell.
void RefreshGrid(TForm2* window, const QString& selector);
void RefreshGrid(TForm2* window, const MapViews& m);

// Stores the remembered cell of the selected grid into its table, or reloads
// the grid when the value is out of range.
void CommitGridCell(TForm2* window, const QString& selector);
void CommitGridCell(TForm2* window, const MapViews& m);
