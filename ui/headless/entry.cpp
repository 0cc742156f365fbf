#include "ui/entry.h"

int main() { return programMain(); }
