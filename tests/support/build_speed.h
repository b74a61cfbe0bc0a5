// How much slower than the developer build this test program runs: a
// program built with ThreadSanitizer runs several times slower, and at a
// scaled clock every real delay is multiplied by the scale, so a timing
// tolerance grows by this factor.
#pragma once

namespace testsupport {

#if defined(__SANITIZE_THREAD__)
inline constexpr double kSlowBuild = 4.0;
#else
inline constexpr double kSlowBuild = 1.0;
#endif

}  // namespace testsupport
