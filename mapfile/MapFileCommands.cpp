#include "MapFile.h"

#include "ChartEditor.h"
#include "Gui2.h"
#include "MapCompare.h"
#include "MapStore.h"
#include "MapViews.h"
#include "Seams.h"
#include "TableEditor.h"
#include "Undo.h"

#include <QFileDialog>
#include <QLineEdit>

namespace {

// The maps as opened or saved become their references; a refused file or
// a failed save ends the command before this.
void SetMapReferences()
{
    SetMapReference(LPGReference, LPGTable);
    SetMapReference(PetrolReference, PetrolTable);
}

} // namespace

// "Файл" / "Открыть"
void TForm2::N2Click()
{
    const MapStep step(this, QStringLiteral("Открыть"));
    QFileDialog* dialog = OpenDialog(this);
    dialog->setNameFilter(MapFileFilter);
    QString fileName;
    if (ExecuteFileDialog(dialog, fileName)) {
        LoadMapFile(fileName, LPGTable, PetrolTable);
        SetMapReferences();
    }
    RefreshAllViews(this);
}

// "Файл" / "Сохранить"
void TForm2::N3Click()
{
    QFileDialog* dialog = SaveDialog(this);
    dialog->setNameFilter(MapFileFilter);
    QString fileName;
    if (ExecuteFileDialog(dialog, fileName)) {
        SaveMapFile(fileName, LPGTable, PetrolTable, EEditVariatorStartTimeout->text());
        SetMapReferences();
    }
    RefreshAllViews(this);
}
