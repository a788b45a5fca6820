#pragma once

#include <QString>

// Where the user-interface catalogue of a system locale lies: a base name and the folder,
// beside the executable, that holds it.
struct CatalogueLocation {
    QString baseName;  // "QuillRelay.ja-JP" or "QuillRelay.en-US"
    QString directory; // the application directory, the native separator, "ja-JP" or "en-US"
};

// Japanese for a locale name starting with "ja", English for every other one.
CatalogueLocation catalogueForLocale(const QString& localeName, const QString& applicationDir);

// The program's entry: single-instance check, catalogue, application font, then the
// controller's event loop. Returns the exit code.
int runQuillRelay(int argc, char** argv);
