#include <cstdlib>

#include "deployment.h"
#include "platform/worker.h"
#include "ui/entry.h"
#include "updater/window/updater_window.h"

int programMain() {
    auto ui = velmo::ui::makeUi();
    velmo::updater::OfficialSite site;
    site.publicKey = velmo::deployment::updatePublicKey;
#ifdef VELMO_LOCAL_SITE_BUILD
    // The local-site build of the tests and the demo only: the official site is a server
    // on this machine whose address the environment gives.
    const char* local = std::getenv("VELMO_LOCAL_SITE_URL");
    site.baseUrl = local ? local : "";
#else
    site.baseUrl = velmo::deployment::updateBaseUrl;
#endif
    return velmo::worker::endProgram(velmo::updater::runUpdater(*ui, site));
}
