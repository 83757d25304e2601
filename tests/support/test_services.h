#pragma once

#include "app/program_services.h"
#include "base/local_time.h"
#include "platform/program_dir.h"
#include "tests/support/temp_dir.h"

namespace vaxo::test {

// What a test's program runs on: its loop, a port layer, the link's clocks,
// a fixed image clock and `folder` for its settings.
inline ProgramServices TestServices(CoreHost& host, PortLayer& layer, LinkTiming& timing,
                                    const TempDir& folder) {
    return {host,
            layer,
            layer,
            timing,
            [] {
                return ImageClock{*ParseLocalTime("2026-12-08 12:00:00"), '.'};
            },
            WithSeparator(folder.path())};
}

}  // namespace vaxo::test
