#include "app/ui/CloseQuestion.h"

#include "app/core/KeptMaps.h"
#include "app/core/MapStore.h"
#include "app/core/Recovery.h"
#include "app/ui/Gui2.h"
#include "app/widgets/Seams.h"

#include <QGuiApplication>
#if QT_CONFIG(sessionmanager)
#include <QSessionManager>
#endif

const QString CloseQuestion = QStringLiteral("Карты изменены и не сохранены. Сохранить их в файл перед выходом?");

namespace {

bool forced = false;
// A second close while the question is open is not asked again.
bool asking = false;

}  // namespace

bool MayCloseWindow(TForm2* window)
{
    if (forced || MapsKept(LPGTable, PetrolTable))
        return true;
    if (asking)
        return false;
    asking = true;
    const Answer answer = AskYesNoCancel(CloseQuestion);
    asking = false;
    switch (answer) {
    case Answer::Yes:
        RunHandler([window] { window->N3Click(); });
        return MapsKept(LPGTable, PetrolTable);
    case Answer::No:
        return true;
    case Answer::Cancel:
        break;
    }
    return false;
}

void SetClosingForced(bool closingForced)
{
    forced = closingForced;
    if (forced && !MapsKept(LPGTable, PetrolTable))
        RecoveryWriteNow();
}

bool ClosingForced()
{
    return forced;
}

void WatchSessionEnd(QGuiApplication* application)
{
#if QT_CONFIG(sessionmanager)
    QObject::connect(application, &QGuiApplication::commitDataRequest, application,
                     [](QSessionManager&) { SetClosingForced(true); });
#else
    (void)application;
#endif
}
