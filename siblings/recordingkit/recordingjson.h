#pragma once

#include "megdata.h"
#include "siblings_export.h"

#include <memory>
#include <string>

// Reads a recording from the JSON file format of docs/recording-format.md. On any problem
// returns null and sets error to one line naming the file and the problem; nothing is thrown.
RECORDINGKIT_API std::unique_ptr<CMEGDataqv> loadRecordingJson(const std::string& path,
                                                               std::string& error);

// Writes the current trial of a recording (spectrum selector 0, data selector 0) in the same
// format. Returns 1 when written; 0 with error set when the recording has no current trial,
// would not load back (the loader's checks are run first) or the file cannot be written.
// An existing file at path is replaced only once the new one is complete.
RECORDINGKIT_API int saveRecordingJson(CMEGDataqv& data, const std::string& path,
                                       std::string& error);
