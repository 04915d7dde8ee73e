#pragma once
// Only one running copy of the program per program file name. The check runs
// before anything else of the program; a later start asks the running copy
// to bring its main window forward and ends.
#include <QString>

#include <functional>

class QWidget;

// False when another copy of this program file runs; that copy has been
// asked to bring its window forward. A lock that cannot be made counts as
// the first instance.
bool IsFirstInstance();
// Once the application object exists: a later start's request brings the
// window `mainWindow` gives forward (none: nothing to raise).
void ListenForLaterInstances(std::function<QWidget*()> mainWindow);
// Ends the claim of this run (the end of the program).
void CloseInstanceMutex();

// The program file's name without directory and extension.
QString InstanceName();
// Shows `window` in front of the others: out of the task bar when
// minimised (keeping maximised), raised and activated, with any dialog the
// program has open on top. A hidden window stays hidden.
void BringWindowForward(QWidget* window);
