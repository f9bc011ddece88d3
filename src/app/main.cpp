// The panel program: Panterm_MW [url].
#include "app/startup.h"

int main(int argc, char **argv) { return Panterm_main(argc, argv); }
