#pragma once

#include <QString>

// The folders a manual may be in.
struct ManualFolders {
    QString programDir;  // where the running program is
    QString buildDir;    // the build tree it was built in
    QString buildManualDir;
    QString installedDir;
};

// The full path of the manual `name` ("Essom.pdf", ...): from the build
// tree's manual folder when the program runs from that tree, else from the
// installed documents. Empty when it is not there.
QString findManual(const QString& name);
QString findManual(const QString& name, const ManualFolders& folders);
