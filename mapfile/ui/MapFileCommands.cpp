#include "mapfile/core/MapFile.h"

#include "editors/ui/ChartEditor.h"
#include "app/ui/Gui2.h"
#include "app/core/KeptMaps.h"
#include "app/core/MapCompare.h"
#include "app/core/MapStore.h"
#include "editors/ui/MapViews.h"
#include "app/widgets/Seams.h"
#include "editors/ui/TableEditor.h"
#include "app/ui/Undo.h"

#include <QFileDialog>
#include <QLineEdit>

namespace {

// The maps as opened or saved become their references and are kept; a
// refused file or a failed save ends the command before this.
void SetMapReferences()
{
    SetMapReference(LPGReference, LPGTable);
    SetMapReference(PetrolReference, PetrolTable);
    KeepMaps(LPGTable, PetrolTable);
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
