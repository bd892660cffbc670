#pragma once

// Routes libtiff's errors and warnings into the output library's logging
// category ("scanvy.output") instead of libtiff's default printer. Safe to
// call from any thread and any number of times; installs once.
void InstallTiffHandlers();
