// Verdance: a short real-time flight through a meadow at dusk.
#include "app/Demo.h"

int main() { return runDemo(); }
