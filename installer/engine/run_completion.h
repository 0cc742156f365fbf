// What follows a transfer run, from its report: the closing box's wording and the records
// a processed run leaves (the connection settings and a journal block). The window shows
// the box and then records, on its own thread.
#pragma once
#include "installer/engine/notice.h"
#include "installer/engine/upload_engine.h"
#include "settings/connection_settings.h"

namespace velmo::installer {

// The "Statut transfert." box after a run that was processed or stopped: the all-clear,
// or how many files are missing and where they are listed; then what the permission step
// did, when it ran.
Notice closingNotice(const RunReport& report);

// The connection a processed run records: the job's, with the permission flag at 1 only
// when the permission step applied the modes.
ConnectionSettings settingsToRecord(const RunReport& report);

// After a processed run: saves the settings (transfert = 1) and appends the journal block
// of its failed sends. Failures to write are silent, but for settings another program was
// saving at that moment: the caller says so (the save's result).
SettingsSave recordRun(const RunReport& report);

}  // namespace velmo::installer
