// File > Import Key Tags / Export Key Tags: the installation's key tags to
// and from a CSV file.
#pragma once

#include <QString>

#include <functional>

class COrvoSystem;
class QWidget;

// Chooses the file: save = true for export. Empty = cancelled. Tests replace
// the file dialog with their own chooser; an empty function restores it.
using KeyTagsFileChooser = std::function<QString(QWidget* parent, bool save)>;
void SetKeyTagsFileChooser(KeyTagsFileChooser chooser);

// Both return true when they did their work; import also only then changed the model.
bool ExportKeyTags(QWidget* parent, const COrvoSystem& system);
bool ImportKeyTags(QWidget* parent, COrvoSystem& system);
