// Until the session check and the upload are built, upload mode says so and
// ends, rather than pretending a file was published.

#include "app/session_check.h"

#include "app/program.h"
#include "platform/codepage.h"

namespace qp::app {

void CheckSession(const Text&, const Text&) {
  ShowMessage(codepage::SystemText("上传功能尚未完成"), gui::kMbOk | gui::kMbIconError,
              codepage::SystemText("错误"));
  ExitProgram();
}

}  // namespace qp::app
