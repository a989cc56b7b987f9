#pragma once

#include <QString>
#include <functional>

// Where the program's own files live: the download folder xzwj/, spsj.txt and index.ini.
//
// A copy run from a folder it may write (the build tree, a portable copy) keeps them beside the
// executable. An installed copy, found by its data folder next to its bin/ folder, or one whose
// folder cannot be written, keeps them in the user's data home instead; even root never writes
// into an installed bin/ folder, which the package manager owns.

struct DataLocationInputs {
    QString executableDir;      // the running executable's folder
    bool executableDirWritable; // whether this user may create files there
    bool installedCopy;         // the executable sits in an installed tree
    QString xdgDataHome;        // $XDG_DATA_HOME as found; empty or relative means unset
    QString home;               // the user's home folder
};

// The folder for the program's files, without a trailing separator.
QString chooseDataDirectory(const DataLocationInputs& inputs);

// The features text: in the program directory when it is there, else the installed copy. When
// neither exists the program directory's name is kept, so that the text viewer reports it.
QString chooseFeaturesText(const QString& programDirectory, const QString& installedDataDir,
                           const std::function<bool(const QString&)>& exists);

// The installed data folder of this executable ("../share/velmora-tv" from its bin/ folder).
QString installedDataDirectory(const QString& executableDir);

// Decides once, on the first call, for this process, and creates the folder when it lies in the
// data home. The single caller hands it on as the program directory.
QString programDataDirectory();

// The features text for the program directory in use (see chooseFeaturesText).
QString featuresTextPath(const QString& programDirectory);
