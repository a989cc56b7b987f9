#pragma once

#include <QByteArray>
#include <QString>

// A file's bytes, or "<none>" when it cannot be read: a comparison then says which.
QByteArray readAll(const QString& path);
// Writes `bytes` as the whole file, failing the test when it cannot.
void writeAll(const QString& path, const QByteArray& bytes);
