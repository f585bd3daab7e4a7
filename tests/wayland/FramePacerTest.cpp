// Frame pacing: how many of a source's frames are kept for a chosen rate.
#include <gtest/gtest.h>

#include "platform/wayland/FramePacer.h"

using mirano::wayland::FramePacer;

TEST(FramePacer, KeepsASourceAtTheRateDespiteJitterAndThinsAFasterOneEvenly) {
    struct Row {
        const char* name;
        double sourceFps;
        double jitter;  // each arrival early or late by this share of the source's period
        double interval;
        int kept;  // of 120 frames
    };
    const Row rows[] = {
        {"60 at 60, steady", 60, 0, 1.0 / 60, 120}, {"60 at 60, jittered", 60, 0.15, 1.0 / 60, 120},
        {"120 at 60", 120, 0.1, 1.0 / 60, 60},      {"60 at 30", 60, 0.1, 1.0 / 30, 60},
        {"30 at 60", 30, 0.1, 1.0 / 60, 120},       {"every frame", 60, 0.3, 0, 120},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FramePacer pacer;
        const auto start = FramePacer::Clock::now();
        int kept = 0;
        for (int i = 0; i < 120; ++i) {
            const double sign = (i % 3 == 0) ? 1 : (i % 3 == 1) ? -1 : 0;
            const double at = (i + sign * row.jitter) / row.sourceFps;
            kept += pacer.keep(start + std::chrono::duration_cast<FramePacer::Clock::duration>(
                                           std::chrono::duration<double>(at)),
                               row.interval);
        }
        EXPECT_EQ(kept, row.kept);
    }
    // After a pause the next frame is kept at once, and the rate holds from there.
    FramePacer pacer;
    const auto t = FramePacer::Clock::now();
    EXPECT_TRUE(pacer.keep(t, 0.1));
    EXPECT_TRUE(pacer.keep(t + std::chrono::seconds(5), 0.1));
    EXPECT_FALSE(pacer.keep(t + std::chrono::milliseconds(5030), 0.1));
    EXPECT_TRUE(pacer.keep(t + std::chrono::milliseconds(5100), 0.1));
}
