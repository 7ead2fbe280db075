#include "app/GameFlow.h"

GameFlow& gameFlow() {
    static GameFlow flow;
    return flow;
}
