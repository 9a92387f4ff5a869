#pragma once
// Runs a program for its standard output: no shell, bounded time and size.
#include <QByteArray>
#include <QString>
#include <QStringList>

struct CommandOutput {
    bool available = false;  // started, finished in time and exited with 0
    QByteArray output;       // standard output, at most kMaxCommandOutput bytes
};

const int kMaxCommandOutput = 1 << 20;

// A missing program, a crash, a non-zero exit or the time-out (the program is
// killed) leave available false.
CommandOutput runCommand(const QString& program, const QStringList& arguments, int timeoutMs);
