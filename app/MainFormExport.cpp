// The Preview and Save commands of the export types.
#include "app/MainForm.h"

void TfrmMain::btnPreviewClick() { }

void TfrmMain::btnSaveClick() { }
