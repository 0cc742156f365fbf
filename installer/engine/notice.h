// The installer's engines word their boxes with the suite's notices (suite/notice.h).
#pragma once
#include "suite/notice.h"

namespace velmo::installer {

using suite::connectionFailedNotice;
using suite::Notice;
using suite::NoticeKind;

}  // namespace velmo::installer
