#pragma once
// The files of ours the browsers read their managed settings from, one per
// browser and never another's: each browser reads every file of its folder.
#include <QByteArray>
#include <QList>
#include <QString>

#include "BrowserPolicy.h"

struct PolicyFile {
    const char* browser;
    const char* path;  // below the system root
    const char* keep;  // the system's folder above it, never removed
    QByteArray (*content)(const QList<PolicyOrigin>&);
};

const QList<PolicyFile>& policyFiles();

// Writes path (atomically, 0644, folders made 0755); false with *error set.
bool writePolicyFile(const QString& path, const QByteArray& content, QString* error);
// Removes path and the folders it leaves empty below keep; *removed tells
// whether there was a file. False with *error set when it stays.
bool removePolicyFile(const QString& path, const QString& keep, bool* removed, QString* error);
