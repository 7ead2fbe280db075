// Verdance: a short real-time flight through a meadow at dusk.
#include "app/Demo.h"
#include "app/HugePages.h"

int main(int /*argc*/, char** argv) {
    restartWithHugePages(argv);
    return runDemo();
}
