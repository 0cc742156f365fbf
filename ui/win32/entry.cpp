// -municode programs start at wmain; the suite's programs take no arguments.
#include "ui/entry.h"

int wmain(int, wchar_t**) { return programMain(); }
