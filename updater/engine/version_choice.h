// Which published version the next installation brings. Pure: the check reads the
// published list and the local numbers and asks this.
#pragma once
#include <cstdint>
#include <vector>

namespace velmo::updater {

// One key of the published list: a script version and the lowest updater version able
// to install it.
struct PublishedVersion {
    std::int32_t version = 0;
    std::int32_t requiredUpdater = 0;
};

struct VersionChoice {
    std::int32_t target = 0;           // the version the next installation brings
    std::int32_t latest = 0;           // the newest published version
    std::int32_t requiredUpdater = 0;  // of the first published version above the installed one
    bool newerFound = false;           // a published version above the installed one exists
};

// Updates come one at a time: the target is the first listed version above `installed`,
// or, when none is, the last listed one (so an installed version newer than everything
// published is offered the last published one). The latest is the last listed one.
// The list is in file order (ascending on a well-kept site) and must not be empty.
VersionChoice chooseVersion(const std::vector<PublishedVersion>& published, std::int32_t installed);

}  // namespace velmo::updater
