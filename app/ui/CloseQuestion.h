#pragma once

#include <QString>

class QGuiApplication;
class TForm2;

// Closing the window with maps that are not kept (KeptMaps.h) first asks
// whether to save them. A close forced by the end of the session asks
// nothing: the recovery file keeps the maps for the next start.

extern const QString CloseQuestion;

// Whether the window may close now. With unkept maps it asks CloseQuestion:
// "Да" runs the save command and lets the window close once the maps are
// saved (a cancelled or failed save keeps it open), "Нет" lets it close,
// "Отмена" keeps it open and changes nothing.
bool MayCloseWindow(TForm2* window);

// Set when the session is ending: from then on a close asks nothing, and the
// recovery file is written at once and outlives the program while the maps
// are not kept.
void SetClosingForced(bool forced);
bool ClosingForced();

// Takes the session manager's request to save before the session ends as
// SetClosingForced(true).
void WatchSessionEnd(QGuiApplication* application);
