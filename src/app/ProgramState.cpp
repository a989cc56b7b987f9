#include "app/ProgramState.h"

std::atomic<std::int32_t> LoadingElapsed{0};
