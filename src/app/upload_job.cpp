#include "app/upload_job.h"

#include <limits>

#include "app/program.h"
#include "cloud/upload_file.h"
#include "platform/codepage.h"

namespace qp::app {

using codepage::SystemText;

std::uint32_t WaitMilliseconds(std::int32_t count, std::int64_t unit) {
  static const std::int64_t kUnitMs[] = {1, 1000, 60000, 3600000};
  std::int64_t perCount = unit >= 0 && unit <= 3 ? kUnitMs[unit] : unit;
  // In floating point, as the product of two large values can leave 64 bits.
  double ms = static_cast<double>(count) * static_cast<double>(perCount);
  if (!(ms > 0))
    return 0;
  if (ms >= static_cast<double>(std::numeric_limits<std::uint32_t>::max()))
    return std::numeric_limits<std::uint32_t>::max();
  return static_cast<std::uint32_t>(ms);
}

bool WaitWhilePumping(std::int32_t count, std::int64_t unit) {
  // A wait that can't be set up comes back false at once; the caller goes on
  // to its end either way.
  WaitDispatchingMessages(WaitMilliseconds(count, unit));
  return true;
}

void UploadJob() {
  if (!cloud::UploadFile(Arguments().front(), "-1", &SessionCookies())) {
    ShowMessage(SystemText("上传文件失败 -1"), gui::kMbOk | gui::kMbIconError, SystemText("错误"));
    ExitProgram();
    return;
  }
  SetStatusText(SystemText("创建链接成功!并且已经复制到剪辑版，请按 Ctrl + V 粘贴！"));
  WaitWhilePumping(3, 1);
  ExitProgram();
}

}  // namespace qp::app
