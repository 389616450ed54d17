#pragma once
// The upload job: the body of the program's one worker thread.

#include <cstdint>

namespace qp::app {

// count x unit in milliseconds. Unit codes: 0 milliseconds, 1 seconds, 2
// minutes, 3 hours; any other value is the number of milliseconds per count.
// A negative product gives 0; one past the 32-bit wait range is capped.
std::uint32_t WaitMilliseconds(std::int32_t count, std::int64_t unit);

// Blocks the calling thread for count x unit while dispatching its messages
// as they arrive (they never shorten the wait). Returns at once when the wait
// can't be set up or fails. Always true.
bool WaitWhilePumping(std::int32_t count, std::int64_t unit);

// Publishes the file named by the first of Arguments with SessionCookies,
// then ends the program: after the success text has shown in the status line
// for three seconds, or after the failure message "上传文件失败 -1" has been
// dismissed. Started by the session check once the session stands.
void UploadJob();

}  // namespace qp::app
