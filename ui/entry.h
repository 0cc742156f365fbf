// The programs' entry point. A program built with velmo_add_gui_program defines
// programMain instead of main; the build supplies the platform's own entry (wmain for a
// -municode Windows program, main in the native tree) that calls it.
#pragma once

int programMain();
