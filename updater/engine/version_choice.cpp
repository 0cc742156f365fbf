#include "updater/engine/version_choice.h"

namespace velmo::updater {

VersionChoice chooseVersion(const std::vector<PublishedVersion>& published, std::int32_t installed) {
    VersionChoice choice;
    for (const PublishedVersion& p : published) {
        if (installed < p.version && !choice.newerFound) {
            choice.target = p.version;
            choice.requiredUpdater = p.requiredUpdater;
            choice.newerFound = true;
        } else if (!choice.newerFound) {
            choice.target = p.version;
        }
        choice.latest = p.version;
    }
    return choice;
}

}  // namespace velmo::updater
