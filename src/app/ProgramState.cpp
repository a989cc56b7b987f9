#include "app/ProgramState.h"

namespace {
QString& programDirectoryStorage() {
    static QString directory;
    return directory;
}
} // namespace

std::atomic<std::int32_t> LoadingElapsed{0};

const QString& ProgramDirectory() {
    return programDirectoryStorage();
}

void setProgramDirectory(const QString& directory) {
    programDirectoryStorage() = directory;
}
