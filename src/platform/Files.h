#pragma once

#include <QByteArray>
#include <QString>

// File operations on native paths. Every failure throws a RuntimeError that names the file
// and the cause in German; nothing fails silently.
namespace Files {

// Creates the folder and its parents when missing.
void makeFolder(const QString& path);

// Opens the file, creating it empty when it does not exist, and returns its length.
qint64 openAndMeasure(const QString& path);

QByteArray readAll(const QString& path);

// Replaces the file by content so that an interruption leaves either the old file or the
// whole new one: the content goes to a temporary file in the same folder, is synced to disk
// and then renamed over the file.
void replaceAtomically(const QString& path, const QByteArray& content);

// Appends bytes at the end of the file (created when missing) and syncs them to disk.
void appendDurably(const QString& path, const QByteArray& bytes);

// The German cause for an errno value.
QString causeText(int error);

} // namespace Files
