// The annotation dialog (117): shows which page an annotation hangs on and
// edits the annotation's title and content. Windows only.
#ifndef SKEIND_APP_ANNOTATION_DIALOG_H
#define SKEIND_APP_ANNOTATION_DIALOG_H

#include <windows.h>

#include "store/node_ref.h"

// Runs the dialog modally over `parent`. OK stores the fields and gives 1
// (IDOK); an empty title is refused with a message and the dialog stays.
// Cancel or closing gives 2 (IDCANCEL) and stores nothing.
int RunAnnotationDialog(HINSTANCE instance, HWND parent, NodeRef annotation);

#endif
