#include "app/upload_job.h"

#include <limits>

#include "cloud/texts.h"
#include "cloud/upload_file.h"

namespace qp::app {

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

bool WaitWhilePumping(gui::Gui& gui, std::int32_t count, std::int64_t unit) {
  // A wait that can't be set up returns false from the platform at once; the
  // job goes on to its end either way.
  gui.WaitDispatchingMessages(WaitMilliseconds(count, unit));
  return true;
}

void UploadJob(const UploadJobContext& c) {
  if (!cloud::UploadFile(c.path, "-1", c.sessionCookies)) {
    c.gui->ShowMessage(cloud::SystemText("上传文件失败 -1"), gui::kMbOk | gui::kMbIconError,
                       cloud::SystemText("错误"));
    c.gui->EndProcess(0);
    return;
  }
  c.gui->SetText(c.statusLabel,
                 cloud::SystemText("创建链接成功!并且已经复制到剪辑版，请按 Ctrl + V 粘贴！"));
  WaitWhilePumping(*c.gui, 3, 1);
  c.gui->EndProcess(0);
}

}  // namespace qp::app
