#include "installer/notice.h"

#include "suite/messages.h"

namespace velmo::installer {

const Notice& connectionFailedNotice() {
    static const Notice notice{suite::titles::warning, suite::connectionErrorText, NoticeKind::Warning};
    return notice;
}

}  // namespace velmo::installer
