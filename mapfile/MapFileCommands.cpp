#include "MapFile.h"

#include "ChartEditor.h"
#include "Gui2.h"
#include "MapStore.h"
#include "MapViews.h"
#include "Seams.h"
#include "TableEditor.h"
#include "Undo.h"

#include <QFileDialog>
#include <QLineEdit>

// "Файл" / "Открыть"
void TForm2::N2Click()
{
    const MapStep step(this, QStringLiteral("Открыть"));
    QFileDialog* dialog = OpenDialog(this);
    dialog->setNameFilter(MapFileFilter);
    QString fileName;
    if (ExecuteFileDialog(dialog, fileName))
        LoadMapFile(fileName, LPGTable, PetrolTable);
    RefreshAllViews(this);
}

// "Файл" / "Сохранить"
void TForm2::N3Click()
{
    QFileDialog* dialog = SaveDialog(this);
    dialog->setNameFilter(MapFileFilter);
    QString fileName;
    if (ExecuteFileDialog(dialog, fileName))
        SaveMapFile(fileName, LPGTable, PetrolTable, EEditVariatorStartTimeout->text());
    RefreshAllViews(this);
}
