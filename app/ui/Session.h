#pragma once

#include <QString>

class TForm2;

// The recovery of one run of the program (Recovery.h) as the window sees it.

// The question asked at start when a run did not end properly.
extern const QString RecoveryQuestion;

// Takes a slot of the recovery folder, offers the maps of the last run that
// did not end properly (once: "Да" loads them as one step that can be undone,
// "Нет" deletes them; a damaged file is reported and deleted), and from then
// on keeps the recovery file up to date with every change of the map store
// and of the start-timeout text.
void StartSession(TForm2* window);

// A normal end: the recovery file is removed and the slot given up. After a
// close forced by the end of the session, maps that are not kept stay in it.
void EndSession();
