// Stands for a source that includes a window's header: built against the catalogue alone it
// must not compile, as no header of a higher folder is on a lower library's include path.
#include "ui/ManagerWindow.h"
