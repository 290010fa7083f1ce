// The extraction run: the data file's life and the loop over the tracks.
#pragma once

#include "run/settings.h"

// The data file's name, looked up in the working folder.
constexpr const char DATA_FILE_NAME[] = "qv902b_bgm_tmp.dat";

// Writes every selected track into the working folder; returns the exit
// status: EXIT_DONE when every one was written, else EXIT_FAILED.
int run_extraction(const extract_settings &settings);
