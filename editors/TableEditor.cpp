#include "TableEditor.h"

#include "Gui2.h"

int SelectedLPGCol = 0;
int SelectedLPGRow = 0;
int SelectedPetrolCol = 0;
int SelectedPetrolRow = 0;

void RefreshGrid(TForm2* window, const QString& selector)
{
    (void)window;
    (void)selector;
}

void CommitGridCell(TForm2* window, const QString& selector)
{
    (void)window;
    (void)selector;
}

void TForm2::StringGridLPGSelectCell(int col, int row, bool& canSelect) { (void)col; (void)row; (void)canSelect; }
void TForm2::StringGridPetrolSelectCell(int col, int row, bool& canSelect) { (void)col; (void)row; (void)canSelect; }
void TForm2::StringGridLPGKeyDown(int key) { (void)key; }
void TForm2::StringGridPetrolKeyDown(int key) { (void)key; }
