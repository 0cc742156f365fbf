// The version check: the local version files, the published list from the official site,
// the choice of the next update and its description. Runs in a worker thread of the
// window ("Vérifier les mises à jour") and reports through UpdaterReporter.
#pragma once
#include "updater/engine/official_site.h"
#include "updater/engine/updater_reporter.h"

namespace velmo::updater {

// Creates the local version files that are missing and shows the installed script
// version. False when the script version file cannot be opened (the fatal message was
// given: the program ends).
bool initialiseLocalVersions(UpdaterReporter& reporter);

enum class CheckOutcome {
    UpToDate,       // nothing newer is published (checkPending cleared)
    UpdateOffered,  // the installation tab is open for state.offer
    Refused,        // the update's description is unreadable or names a refused path
    ProgramEnds,    // a fatal message was given (missing official file, obsolete updater...)
    Stopped,        // the program is closing (state.stopRequested): nothing more was done
};

// Every check first locks the installation tab; only a check that offers an update opens
// it again. Its downloads together wait no longer than state.checkLimitMs.

CheckOutcome checkForUpdates(UpdaterState& state, const OfficialSite& site, UpdaterReporter& reporter);

}  // namespace velmo::updater
